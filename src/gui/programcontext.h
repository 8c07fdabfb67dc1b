#pragma once

#include "shell/startup.h"

namespace tessaloom::gui {

/// The values start-up settles for every window: the folders, the version text and
/// the settings record. Start-up fills it once; tests fill it with temporary
/// folders before they create a window.
struct ProgramContext
{
    StartupResult startup;

    const AppFolders& folders() const { return startup.folders; }
    const std::string& settingsPath() const { return startup.folders.settingsPath; }
    const std::string& programFolder() const { return startup.folders.programFolder; }
    Settings& settings() { return startup.settings; }
};

/// The one program-wide context.
ProgramContext& Program();

} // namespace tessaloom::gui
