#include "gui/singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace tessaloom::gui {

namespace {

constexpr int kConnectTimeoutMs = 1000;
const char kShowRequest[] = "show\n";

// Without a private runtime folder the socket's name is in the shared temporary
// folder, where another user can listen first: only a peer of our own user id
// is one of ours.
bool PeerIsSameUser(const QLocalSocket& socket)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           length == sizeof peer && peer.uid == ::getuid();
}

/// Connects `socket` to `name`; true only when a process of this user answers.
bool ConnectToOwnInstance(QLocalSocket& socket, const QString& name)
{
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    if (PeerIsSameUser(socket))
        return true;
    socket.abort();
    return false;
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name))
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName()
{
    // The user's runtime folder is private to the user; without one, a name in the
    // shared temporary folder that carries the user's id.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("tessaloom.socket"));
    return QStringLiteral("tessaloom-%1").arg(::getuid());
}

bool SingleInstance::anotherInstanceRunning() const
{
    QLocalSocket socket;
    const bool running = ConnectToOwnInstance(socket, m_name);
    socket.abort();
    return running;
}

bool SingleInstance::askRunningInstanceToShow() const
{
    QLocalSocket socket;
    if (!ConnectToOwnInstance(socket, m_name))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectTimeoutMs);
    return sent;
}

bool SingleInstance::listen()
{
    if (m_server)
        return true;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_name)) {
        // Nobody answered before, so the socket file is a crashed instance's.
        if (anotherInstanceRunning() || !QLocalServer::removeServer(m_name) ||
            !server->listen(m_name)) {
            delete server;
            return false;
        }
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequests);
    return true;
}

void SingleInstance::readRequests()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!PeerIsSameUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine(64) == kShowRequest)
                    emit showRequested();
            }
            // A peer that sends anything else, or too much, is not one of ours.
            if (socket->bytesAvailable() > 64)
                socket->abort();
        });
    }
}

} // namespace tessaloom::gui
