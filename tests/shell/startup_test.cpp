#include "shell/startup.h"

#include "shell/inistore.h"
#include "shell/version.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace tessaloom {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TestDir;

/// A program folder, a data home and a cache home in one temporary tree.
struct Machine
{
    TestDir dir;
    StartupEnvironment env;

    Machine()
    {
        env.app.programFolder = dir.createDir("prog");
        env.app.xdgDataHome = (dir / "data").string();
        env.app.xdgCacheHome = (dir / "cache").string();
        env.app.home = (dir / "home").string();
    }
    fs::path prog(std::string_view name) const { return dir / "prog" / name; }
    fs::path data(std::string_view name) const { return dir / "data" / "Tessaloom" / name; }
};

TEST(Startup, FirstStartOnACleanComputer)
{
    Machine m;
    m.env.app.xdgDataHome = (m.dir / "missing" / "share").string(); // parents created too
    const StartupResult r = RunStartup(m.env);
    ASSERT_TRUE(r.proceed);
    const std::string dataFolder = (m.dir / "missing" / "share" / "Tessaloom").string() + "/";
    EXPECT_EQ(r.folders.dataFolder, dataFolder);
    EXPECT_TRUE(r.dataFolderReady);
    EXPECT_TRUE(fs::is_directory(dataFolder));
    EXPECT_EQ(r.folders.programFolder, (m.dir / "prog").string() + "/");
    EXPECT_EQ(r.folders.settingsPath, dataFolder + "TSL.INI");
    EXPECT_EQ(r.folders.folderListPath, dataFolder + "folders.dat");
    EXPECT_EQ(r.folders.cacheHome, (m.dir / "cache").string());
    EXPECT_EQ(r.helpFilePath, r.folders.programFolder + "help/index.html");
    EXPECT_EQ(r.versionText, "5.4.1");
    EXPECT_FALSE(r.movedFolderList);
    EXPECT_FALSE(r.movedSettingsFile);
    EXPECT_TRUE(r.settings.showQuickStart);
    EXPECT_EQ(r.settings.minimumFileCount, 10);

    // The reminder runs on the first start of this major version only.
    EXPECT_TRUE(r.runVersionAgeReminder);
    EXPECT_EQ(ReadSetting("General", kKeyLastMajorVersion, "", r.folders.settingsPath),
              std::to_string(kVersionMajor));
    EXPECT_FALSE(RunStartup(m.env).runVersionAgeReminder);
    ASSERT_TRUE(WriteSetting("General", kKeyLastMajorVersion, "4", r.folders.settingsPath));
    EXPECT_TRUE(RunStartup(m.env).runVersionAgeReminder);
}

TEST(Startup, SecondInstanceAnsweredNoTouchesNothing)
{
    Machine m;
    m.dir.createFile("prog/tsl.ini", "[General]\r\nDirectory=/x\r\n");
    m.env.anotherInstanceRunning = true;
    int asked = 0;
    m.env.askLaunchAnother = [&] { return ++asked, false; };
    EXPECT_FALSE(RunStartup(m.env).proceed);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(fs::exists(m.dir / "data"));
    EXPECT_TRUE(fs::exists(m.prog("tsl.ini")));

    m.env.askLaunchAnother = [&] { return ++asked, true; };
    EXPECT_TRUE(RunStartup(m.env).proceed);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(fs::exists(m.data("TSL.INI")));
}

TEST(Startup, MovesAnOlderSettingsFileOnlyIntoADataFolderWithoutIni)
{
    const std::string oldSettings = "[General]\r\nDirectory=/old\r\n";
    {
        Machine m; // moved, and in force on this start
        m.dir.createFile("prog/TSL.ini", oldSettings);
        const StartupResult r = RunStartup(m.env);
        EXPECT_TRUE(r.movedSettingsFile);
        EXPECT_FALSE(fs::exists(m.prog("TSL.ini")));
        EXPECT_EQ(r.settings.directory, "/old");
        EXPECT_EQ(r.folders.settingsPath, m.data("TSL.INI").string());
    }
    {
        Machine m; // any ".ini" in the data folder keeps it where it is
        m.dir.createFile("prog/tsl.ini", oldSettings);
        m.dir.createFile("data/Tessaloom/other.INI", "");
        const StartupResult r = RunStartup(m.env);
        EXPECT_FALSE(r.movedSettingsFile);
        EXPECT_TRUE(fs::exists(m.prog("tsl.ini")));
        EXPECT_EQ(r.settings.directory, "/");
    }
    {
        Machine m; // other ".ini" files, but no "tsl.ini"
        m.dir.createFile("prog/setup.ini", oldSettings);
        EXPECT_FALSE(RunStartup(m.env).movedSettingsFile);
        EXPECT_TRUE(fs::exists(m.prog("setup.ini")));
    }
    {
        Machine m; // a hidden ".ini" in the data folder does not count; a folder is no file
        m.dir.createFile("prog/tsl.ini", oldSettings);
        m.dir.createFile("data/Tessaloom/.hidden.ini", "");
        m.dir.createDir("data/Tessaloom/dir.ini");
        EXPECT_TRUE(RunStartup(m.env).movedSettingsFile);
    }
    {
        Machine m; // a settings file spelt otherwise is used, not shadowed
        m.dir.createFile("data/Tessaloom/tsl.ini", "[general]\r\nfile pattern=*.gif\r\n");
        const StartupResult r = RunStartup(m.env);
        EXPECT_EQ(r.folders.settingsPath, m.data("tsl.ini").string());
        EXPECT_EQ(r.settings.filePattern, "*.gif");
        EXPECT_FALSE(fs::exists(m.data("TSL.INI")));
    }
}

TEST(Startup, MovesAnOlderFolderListNamedExactlyFolders)
{
    {
        Machine m; // replaces the data folder's list
        m.dir.createFile("prog/folders", "/old/cache\r\n");
        m.dir.createFile("data/Tessaloom/folders.dat", "/new/cache\r\n");
        const StartupResult r = RunStartup(m.env);
        EXPECT_TRUE(r.movedFolderList);
        EXPECT_FALSE(fs::exists(m.prog("folders")));
        EXPECT_EQ(ReadWholeFile(m.data("folders.dat")), "/old/cache\r\n");
    }
    {
        Machine m; // "folders.dat" beside the program, or a folder named "folders", stay
        m.dir.createFile("prog/folders.dat", "x");
        m.dir.createDir("prog/folders");
        EXPECT_FALSE(RunStartup(m.env).movedFolderList);
        EXPECT_TRUE(fs::exists(m.prog("folders.dat")));
        EXPECT_FALSE(fs::exists(m.data("folders.dat")));
    }
    {
        Machine m; // a file "folders" already in the data folder stops the move
        m.dir.createFile("prog/folders", "x");
        m.dir.createFile("data/Tessaloom/folders", "y");
        EXPECT_FALSE(RunStartup(m.env).movedFolderList);
        EXPECT_TRUE(fs::exists(m.prog("folders")));
    }
}

TEST(Startup, DataFilesAreSettledInOnePlace)
{
    Machine m;
    const fs::path folder = m.dir / "data" / "Tessaloom";
    bool ready = false;
    AppFolders f = SettleAppFolders(m.env.app, &ready);
    EXPECT_TRUE(ready);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(f.folderListPath, folder.string() + "/folders.dat");
    EXPECT_EQ(f.settingsPath, folder.string() + "/TSL.INI");
    // Names spelt otherwise by hand are the files used.
    m.dir.createFile("data/Tessaloom/Folders.DAT", "");
    m.dir.createFile("data/Tessaloom/tsl.ini", "");
    f = SettleAppFolders(m.env.app);
    EXPECT_EQ(f.folderListPath, folder.string() + "/Folders.DAT");
    EXPECT_EQ(f.settingsPath, folder.string() + "/tsl.ini");
}

TEST(Startup, HomeFromTheUserDatabaseWithoutHOME)
{
    const char* saved = std::getenv("HOME");
    const std::string savedHome = saved ? saved : "";
    std::string homes[2];
    ::unsetenv("HOME");
    homes[0] = AppEnvironment::FromProcess().home;
    ::setenv("HOME", "", 1);
    homes[1] = AppEnvironment::FromProcess().home;
    if (saved)
        ::setenv("HOME", savedHome.c_str(), 1);
    const struct passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    for (const std::string& home : homes) {
        EXPECT_EQ(home, user->pw_dir);
        AppEnvironment env;
        env.home = home;
        EXPECT_EQ(ResolveAppFolders(env).dataFolder, home + "/.local/share/Tessaloom/");
    }
}

TEST(Startup, AFailedCopyKeepsTheSource)
{
    Machine m;
    m.dir.createFile("prog/folders", "list");
    m.dir.createFile("prog/tsl.ini", "[General]\r\n");
    // The data home is a regular file: no data folder can be made below it.
    m.dir.createFile("blocker", "");
    m.env.app.xdgDataHome = (m.dir / "blocker").string();
    const StartupResult r = RunStartup(m.env);
    EXPECT_TRUE(r.proceed);
    EXPECT_FALSE(r.dataFolderReady);
    EXPECT_FALSE(r.movedFolderList);
    EXPECT_FALSE(r.movedSettingsFile);
    EXPECT_FALSE(r.runVersionAgeReminder); // cannot be recorded, so not shown
    EXPECT_EQ(ReadWholeFile(m.prog("folders")), "list");
    EXPECT_TRUE(fs::exists(m.prog("tsl.ini")));
    EXPECT_TRUE(r.settings.showQuickStart);
}

} // namespace
} // namespace tessaloom
