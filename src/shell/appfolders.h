#pragma once

#include <filesystem>
#include <string>

namespace tessaloom {

inline constexpr const char* kProductName = "Tessaloom";

/// What start-up needs to know about the process's surroundings. Built from the
/// real process by FromProcess(); tests fill it by hand with temporary folders.
struct AppEnvironment
{
    /// Folder of the executable.
    std::filesystem::path programFolder;
    /// $XDG_DATA_HOME and $XDG_CACHE_HOME as found (may be empty); $HOME, or the
    /// user database's home folder when HOME is unset or empty.
    std::string xdgDataHome;
    std::string xdgCacheHome;
    std::string home;

    static AppEnvironment FromProcess();
};

/// The program's folders and data-file paths. Folder texts end with "/" except
/// the cache home, which the drive search walks.
struct AppFolders
{
    std::string programFolder;
    std::string dataFolder;
    std::string cacheHome;
    std::string settingsPath;   // dataFolder + "TSL.INI"
    std::string folderListPath; // dataFolder + "folders.dat"
};

/// Works out the folders by the XDG rules: data home ($XDG_DATA_HOME when absolute,
/// else ~/.local/share) + "/Tessaloom/", cache home ($XDG_CACHE_HOME when absolute,
/// else ~/.cache). Creates nothing.
AppFolders ResolveAppFolders(const AppEnvironment& env);

} // namespace tessaloom
