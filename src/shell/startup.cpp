#include "shell/startup.h"

#include "platform/atomicfile.h"
#include "platform/filelister.h"
#include "platform/readfile.h"
#include "platform/textcodec.h"
#include "shell/inistore.h"
#include "shell/version.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace tessaloom {

namespace {

// Older data files are small lists; anything larger is not ours to move.
constexpr std::size_t kMaxMovedFileSize = 64 * 1024 * 1024;

/// The on-disk name of the ordinary file in `folder` matching `name` without case,
/// preferring the exact spelling, or "" when there is none.
std::string FindOrdinaryFile(const std::string& folder, const std::string& name)
{
    const Result<std::vector<std::string>> listed = ListMatchingFiles(folder, name);
    if (!listed || listed.value().empty())
        return {};
    const std::vector<std::string>& names = listed.value();
    for (const std::string& n : names) {
        if (n == name)
            return n;
    }
    return names.front();
}

bool HasOrdinaryFileMatching(const std::string& folder, const std::string& pattern, bool& known)
{
    const Result<std::vector<std::string>> listed = ListMatchingFiles(folder, pattern);
    known = listed.ok();
    return listed && !listed.value().empty();
}

/// Copies `source` over `target` atomically, then deletes `source`. The source
/// stays when the copy fails: it may be the only copy of the user's data.
bool MoveFile(const std::string& source, const std::string& target)
{
    const Result<std::string> content = ReadFileLimited(source, kMaxMovedFileSize + 1);
    if (!content || content.value().size() > kMaxMovedFileSize)
        return false;
    if (!WriteFileAtomically(target, content.value(), LinkAtTarget::WriteThrough))
        return false;
    // Only a writable folder gives a move (CanDeleteFrom); a source that stays
    // anyway is copied again over the same data at the next start.
    std::ignore = ::unlink(source.c_str());
    return true;
}

/// A move whose source cannot be deleted would repeat at every start and put the
/// old file back over newer data each time, so only a writable folder gives one.
bool CanDeleteFrom(const std::string& folder)
{
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace

bool EnsureDataFolder(const std::string& dataFolder)
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(dataFolder).lexically_normal();
    if (std::filesystem::symlink_status(folder, ec).type() ==
        std::filesystem::file_type::not_found) {
        std::filesystem::path partial;
        for (const auto& part : folder) {
            partial /= part;
            if (part.empty() || part == "/")
                continue;
            if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
                break;
        }
    }
    return std::filesystem::is_directory(folder, ec);
}

std::string ExistingFileName(const std::string& folder, const std::string& name)
{
    const std::string found = FindOrdinaryFile(folder, name);
    return folder + (found.empty() ? name : found);
}

AppFolders SettleAppFolders(const AppEnvironment& env, bool* dataFolderReady)
{
    AppFolders folders = ResolveAppFolders(env);
    const bool ready = EnsureDataFolder(folders.dataFolder);
    if (dataFolderReady)
        *dataFolderReady = ready;
    // A data folder filled by hand may spell the names differently; use the file
    // that is there rather than start a second one beside it.
    folders.folderListPath = ExistingFileName(folders.dataFolder, "folders.dat");
    folders.settingsPath = ExistingFileName(folders.dataFolder, "TSL.INI");
    return folders;
}

bool MoveOlderFolderList(const AppFolders& folders)
{
    if (!FindOrdinaryFile(folders.dataFolder, "folders").empty())
        return false;
    const std::string source = FindOrdinaryFile(folders.programFolder, "folders");
    if (source.empty() || !CanDeleteFrom(folders.programFolder))
        return false;
    return MoveFile(folders.programFolder + source, folders.folderListPath);
}

bool MoveOlderSettingsFile(const AppFolders& folders)
{
    bool known = false;
    if (HasOrdinaryFileMatching(folders.dataFolder, "*.ini", known) || !known)
        return false;
    // A program folder with other ".ini" files but no "tsl.ini" moves nothing.
    const std::string source = FindOrdinaryFile(folders.programFolder, "tsl.ini");
    if (source.empty() || !CanDeleteFrom(folders.programFolder))
        return false;
    // Stored under the settings file's own name: on this file system "tsl.ini"
    // and "TSL.INI" are two files, and only the latter would be read.
    return MoveFile(folders.programFolder + source, folders.settingsPath);
}

bool NoteFirstStartOfMajorVersion(const std::string& settingsPath, int major)
{
    const std::string current = std::to_string(major);
    const std::string recorded =
        ReadSetting(kSectionGeneral, kKeyLastMajorVersion, "", settingsPath);
    if (recorded == current)
        return false;
    return WriteSetting(kSectionGeneral, kKeyLastMajorVersion, current, settingsPath).ok();
}

StartupResult RunStartup(const StartupEnvironment& env)
{
    StartupResult r;
    r.versionText = VersionText();
    if (env.anotherInstanceRunning && env.askLaunchAnother && !env.askLaunchAnother()) {
        r.proceed = false;
        return r;
    }

    r.folders = SettleAppFolders(env.app, &r.dataFolderReady);
    r.helpFilePath = r.folders.programFolder + "help/index.html";

    r.movedFolderList = MoveOlderFolderList(r.folders);
    r.movedSettingsFile = MoveOlderSettingsFile(r.folders);

    r.settings = LoadSettings(r.folders.settingsPath);
    r.runVersionAgeReminder = NoteFirstStartOfMajorVersion(r.folders.settingsPath, kVersionMajor);
    return r;
}

} // namespace tessaloom
