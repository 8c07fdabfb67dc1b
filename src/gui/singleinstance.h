#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tessaloom::gui {

/// The single-instance rule over a per-user local socket: the first instance
/// listens; a later one finds it there and may ask it to bring its main window
/// forward. Touches no file of the program.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    /// `name`: the socket's name; DefaultName() for the program.
    explicit SingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    /// One instance per user: "tessaloom.socket" in the user's runtime folder
    /// ($XDG_RUNTIME_DIR), else "tessaloom-" + the user's id.
    static QString DefaultName();

    /// True when another instance answers on the socket.
    bool anotherInstanceRunning() const;
    /// Asks the running instance to show its main window; true when it was told.
    bool askRunningInstanceToShow() const;
    /// Starts answering later instances (a socket left by a crashed instance is
    /// taken over). False when the name cannot be used.
    bool listen();

signals:
    /// A later instance asked for the main window.
    void showRequested();

private:
    void readRequests();

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace tessaloom::gui
