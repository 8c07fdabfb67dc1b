#pragma once

#include "gui/userprompts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// What the window tests start from: a user of their own (temporary XDG homes), the
// program-wide values filled from that user's files as start-up fills them, and
// every dialog answered by the test instead of shown.
namespace tessaloom::test {

/// Writes `content` to `path`, making its folders; fails the running test when the
/// file cannot be written.
void WriteFile(const QString& path, const QByteArray& content);

/// A user with a temporary home for one test function. XDG_DATA_HOME and
/// XDG_CACHE_HOME point at "data" and "cache" inside it while it lives (the real
/// values come back when it is reset), so no window test reads or writes the
/// real user's settings.
class WindowTestUser
{
public:
    WindowTestUser() = default;
    ~WindowTestUser();
    WindowTestUser(const WindowTestUser&) = delete;
    WindowTestUser& operator=(const WindowTestUser&) = delete;

    /// A new, empty home (the previous one is removed). Creates nothing inside it.
    bool newHome();
    /// Start-up for this user: the data folder made, `ini` (when not empty) written as
    /// its settings file, and the program's values loaded afresh from the files.
    void startProgram(const QByteArray& ini = {});
    /// The program's values afresh from this user's files, as a new start reads them.
    static void ReloadProgram();
    /// Removes the home and gives the XDG variables their values back.
    void reset();

    QString path(const QString& relative = {}) const;
    QString dataFolder() const { return path(QStringLiteral("data/Tessaloom")); }
    QString settingsFile() const { return dataFolder() + QStringLiteral("/TSL.INI"); }
    QString folderList() const { return dataFolder() + QStringLiteral("/folders.dat"); }

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::optional<QByteArray> m_dataHome; // the values before the first newHome()
    std::optional<QByteArray> m_cacheHome;
    bool m_saved = false;
};

/// Every message box answered with `answer`, its "title | text" appended to `log`.
void AnswerMessages(QStringList& log, gui::MessageAnswer answer);
/// Shell opens succeed and the Open dialog is cancelled, without any window.
void AnswerShellAndOpenDialog();
/// The real message box, Open dialog and shell opener again.
void RestoreDialogs();

/// An empty program folder (no sounds, no help) for the program's values, and the
/// real message box: the start of a test of one window's own behaviour.
void UseEmptyProgramFolder(const QTemporaryDir& folder);

} // namespace tessaloom::test
