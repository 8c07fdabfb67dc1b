#include "support/windowtest.h"

#include "gui/programcontext.h"
#include "shell/appfolders.h"
#include "shell/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace tessaloom::test {

namespace {

std::optional<QByteArray> Variable(const char* name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void Restore(const char* name, const std::optional<QByteArray>& value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

} // namespace

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
}

WindowTestUser::~WindowTestUser()
{
    reset();
}

bool WindowTestUser::newHome()
{
    if (!m_saved) {
        m_dataHome = Variable("XDG_DATA_HOME");
        m_cacheHome = Variable("XDG_CACHE_HOME");
        m_saved = true;
    }
    m_home = std::make_unique<QTemporaryDir>();
    if (!m_home->isValid())
        return false;
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CACHE_HOME", path(QStringLiteral("cache")).toUtf8());
    return true;
}

void WindowTestUser::startProgram(const QByteArray& ini)
{
    QDir().mkpath(dataFolder());
    if (!ini.isEmpty())
        WriteFile(settingsFile(), ini);
    ReloadProgram();
}

void WindowTestUser::ReloadProgram()
{
    gui::ProgramContext& program = gui::Program();
    program.startup = {};
    program.startup.folders = ResolveAppFolders(AppEnvironment::FromProcess());
    program.startup.settings = LoadSettings(program.settingsPath());
}

void WindowTestUser::reset()
{
    m_home.reset();
    if (m_saved) {
        Restore("XDG_DATA_HOME", m_dataHome);
        Restore("XDG_CACHE_HOME", m_cacheHome);
        m_saved = false;
    }
}

QString WindowTestUser::path(const QString& relative) const
{
    return relative.isEmpty() ? m_home->path() : m_home->filePath(relative);
}

void AnswerMessages(QStringList& log, gui::MessageAnswer answer)
{
    gui::SetMessageAnswerer([&log, answer](const gui::MessageRequest& request) {
        log << request.title + QStringLiteral(" | ") + request.text;
        return answer;
    });
}

void AnswerShellAndOpenDialog()
{
    gui::SetShellOpener([](const QString&) { return true; });
    gui::SetOpenFileAnswerer([](const gui::OpenFileRequest&) { return QString(); });
}

void RestoreDialogs()
{
    gui::SetMessageAnswerer({});
    gui::SetShellOpener({});
    gui::SetOpenFileAnswerer({});
}

void UseEmptyProgramFolder(const QTemporaryDir& folder)
{
    QVERIFY(folder.isValid());
    gui::Program().startup.folders.programFolder = folder.path().toStdString() + "/";
    gui::SetMessageAnswerer({});
}

} // namespace tessaloom::test
