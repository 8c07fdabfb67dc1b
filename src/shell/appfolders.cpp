#include "shell/appfolders.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace tessaloom {

namespace {

std::string EnvOrEmpty(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Without HOME (a service, `env -i`), the user database still knows the home.
std::string HomeOfUser()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry
    {
    };
    struct passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found && found->pw_dir ? std::string(found->pw_dir) : std::string();
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string WithTrailingSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// The XDG rule: a relative value is invalid and must be ignored.
std::string XdgHome(const std::string& value, const std::string& home, const char* fallback)
{
    if (!value.empty() && value.front() == '/')
        return WithoutTrailingSlash(value);
    const std::string base = home.empty() ? std::string("/") : home;
    return WithoutTrailingSlash(WithTrailingSlash(base) + fallback);
}

} // namespace

AppEnvironment AppEnvironment::FromProcess()
{
    AppEnvironment env;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    env.programFolder = ec ? std::filesystem::current_path(ec) : exe.parent_path();
    env.xdgDataHome = EnvOrEmpty("XDG_DATA_HOME");
    env.xdgCacheHome = EnvOrEmpty("XDG_CACHE_HOME");
    env.home = EnvOrEmpty("HOME");
    if (env.home.empty())
        env.home = HomeOfUser();
    return env;
}

AppFolders ResolveAppFolders(const AppEnvironment& env)
{
    AppFolders f;
    f.programFolder = WithTrailingSlash(env.programFolder.string());
    f.dataFolder =
        WithTrailingSlash(XdgHome(env.xdgDataHome, env.home, ".local/share") + "/" + kProductName);
    f.cacheHome = XdgHome(env.xdgCacheHome, env.home, ".cache");
    f.settingsPath = f.dataFolder + "TSL.INI";
    f.folderListPath = f.dataFolder + "folders.dat";
    return f;
}

} // namespace tessaloom
