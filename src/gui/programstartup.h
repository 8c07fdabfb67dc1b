#pragma once

#include "shell/appfolders.h"

namespace tessaloom::gui {

class SingleInstance;

/// Start-up before any window of ours: the single-instance question (through
/// ShowMessage), then the folders, the moves of older data files and the settings
/// into Program(). False when the user chose not to start a second instance: the
/// running one has been asked to come forward and nothing has been read or written.
bool RunProgramStartup(SingleInstance& instance, const AppEnvironment& app);

/// The whole program: start-up, the windows before the main window, the main
/// window, and its event loop. Returns the process's exit status.
int RunProgram();

} // namespace tessaloom::gui
