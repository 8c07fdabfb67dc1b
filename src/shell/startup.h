#pragma once

#include "shell/appfolders.h"
#include "shell/settings.h"

#include <functional>
#include <string>

namespace tessaloom {

inline constexpr const char* kAlreadyRunningText =
    "Tessaloom is already running, launch another instance of it now?";
inline constexpr const char* kAlreadyRunningTitle = "ALREADY RUNNING";

/// Key in section "General" that records the major version of the last start, so
/// that the version-age reminder runs once per major version.
inline constexpr const char* kKeyLastMajorVersion = "Last Major Version";

/// Everything start-up asks of its surroundings; tests fill it by hand.
struct StartupEnvironment
{
    AppEnvironment app;
    bool anotherInstanceRunning = false;
    /// Asks kAlreadyRunningText (title kAlreadyRunningTitle, Yes/No); true for Yes.
    /// Without one, start-up goes on as after Yes.
    std::function<bool()> askLaunchAnother;
};

/// The values start-up settles, for the windows to use.
struct StartupResult
{
    /// False when another instance runs and the user chose not to start a second:
    /// bring the running one forward and end. Nothing else is filled then, and no
    /// file has been read or written.
    bool proceed = true;
    AppFolders folders;
    std::string versionText;
    std::string helpFilePath; // program folder + "help/index.html"
    bool dataFolderReady = false;
    bool movedFolderList = false;
    bool movedSettingsFile = false;
    Settings settings;
    /// First start of this major version: run the version-age reminder after the
    /// Quick Start window (if shown) and before the main window.
    bool runVersionAgeReminder = false;
};

/// The start-up steps that need no window: the single-instance question, the
/// folders, the data folder, the moves of older data files, the settings and the
/// first-start record. Every step that fails is passed over silently.
StartupResult RunStartup(const StartupEnvironment& env);

/// The program's folders with the data folder made ready (EnsureDataFolder) and the
/// data files' names settled (ExistingFileName): the one way every part of the
/// program that reads or writes the data files finds them.
AppFolders SettleAppFolders(const AppEnvironment& env, bool* dataFolderReady = nullptr);

/// Creates the data folder when nothing of its name exists (with any missing
/// parents, as the XDG rules ask, mode 0700). True when it is a folder afterwards.
bool EnsureDataFolder(const std::string& dataFolder);

/// Moves an older folder list: when the data folder holds no ordinary file named
/// "folders" and the program folder does, copies it over the folder-list path and
/// deletes the source. True when moved.
bool MoveOlderFolderList(const AppFolders& folders);

/// Moves an older settings file: when the data folder holds no ordinary "*.ini"
/// file and the program folder holds "tsl.ini", copies it to the settings path
/// and deletes the source. True when moved.
bool MoveOlderSettingsFile(const AppFolders& folders);

/// `folder` + the on-disk name of the ordinary file in `folder` whose name equals
/// `name` without regard to case, or `folder` + `name` when there is none.
std::string ExistingFileName(const std::string& folder, const std::string& name);

/// True, and the record written, when the settings file records no start of major
/// version `major` yet. False when it does, or when the record cannot be written
/// (so that a reminder that cannot be recorded does not come back at every start).
bool NoteFirstStartOfMajorVersion(const std::string& settingsPath, int major);

} // namespace tessaloom
