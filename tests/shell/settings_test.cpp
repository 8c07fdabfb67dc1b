#include "shell/settings.h"

#include "shell/inistore.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::TestDir;

TEST(Settings, MissingFileGivesEveryDefault)
{
    TestDir dir;
    const Settings s = LoadSettings((dir / "TSL.INI").string());
    EXPECT_EQ(s.directory, "/");
    EXPECT_EQ(s.filePattern, "*.*");
    EXPECT_FALSE(s.excludeImages);
    EXPECT_FALSE(s.includeOnlyImages);
    EXPECT_TRUE(s.excludeBinaryFiles);
    EXPECT_TRUE(s.launchBrowser);
    EXPECT_FALSE(s.launchViewDeleteWizard);
    EXPECT_EQ(s.minimumFileCount, 10);
    EXPECT_TRUE(s.confirmDeletions);
    EXPECT_TRUE(s.showQuickStart);
}

// Every declared setting, written with a value other than its default, reads back
// as written, and only its own line changes.
TEST(Settings, EveryDeclaredSettingRoundTripsThroughTheFile)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    const Settings defaults = LoadSettings(path);
    Settings changed;
    changed.directory = "/srv/cache dir";
    changed.filePattern = "*.htm";
    changed.excludeImages = true;
    changed.includeOnlyImages = true;
    changed.excludeBinaryFiles = false;
    changed.launchBrowser = false;
    changed.launchViewDeleteWizard = true;
    changed.minimumFileCount = -42;
    changed.confirmDeletions = false;
    changed.showQuickStart = false;
    changed.readCacheRecords = false;
    for (const SettingDeclaration& declaration : kSettingDeclarations) {
        const std::string stored = EncodeSetting(declaration, changed);
        ASSERT_NE(stored, EncodeSetting(declaration, defaults)) << declaration.key;
        ASSERT_TRUE(StoreSetting(declaration, changed, path)) << declaration.key;
        Settings back = defaults;
        DecodeSetting(declaration, ReadSetting(kSectionGeneral, declaration.key, "", path), back);
        EXPECT_EQ(EncodeSetting(declaration, back), stored) << declaration.key;
    }
    const Settings loaded = LoadSettings(path);
    for (const SettingDeclaration& declaration : kSettingDeclarations)
        EXPECT_EQ(EncodeSetting(declaration, loaded), EncodeSetting(declaration, changed))
            << declaration.key;
}

TEST(Settings, BooleanAndYesNoWords)
{
    for (const char* on : {"True", "TRUE", "true", "tRuE"})
        EXPECT_TRUE(DecodeBoolean(on)) << on;
    for (const char* off : {"False", "1", "on", "yes", "", "TRUE.", "T"})
        EXPECT_FALSE(DecodeBoolean(off)) << off;
    for (const char* on : {"Yes", "YES", "yes"})
        EXPECT_TRUE(DecodeYesNo(on)) << on;
    for (const char* off : {"No", "True", "1", "y", ""})
        EXPECT_FALSE(DecodeYesNo(off)) << off;
}

TEST(Settings, NumberIsTheLeadingDecimalRoundedHalfToEven)
{
    const struct
    {
        const char* text;
        std::int32_t halfEven;
        std::int32_t down;
    } cases[] = {
        {"", 0, 0},
        {"ten", 0, 0},
        {"-", 0, 0},
        {"7 apples", 7, 7},
        {"  12", 12, 12},
        {"+4", 4, 4},
        {"007", 7, 7},
        {"2.5", 2, 2},
        {"3.5", 4, 3},
        {"2.500001", 3, 2},
        {"2.49999", 2, 2},
        {"0.5", 0, 0},
        {".5", 0, 0},
        {"1.5", 2, 1},
        {"-2.5", -2, -3},
        {"-3.5", -4, -4},
        {"-0000300", -300, -300},
        {"5.", 5, 5},
        {"2147483647", 2147483647, 2147483647},
        {"2147483647.4", 2147483647, 2147483647},
        {"2147483647.5", 0, 2147483647},
        {"2147483648", 0, 0},
        {"-2147483648", INT32_MIN, INT32_MIN},
        {"-2147483648.5", INT32_MIN, 0},
        {"-2147483649", 0, 0},
        {"0000000000000000000012", 12, 12},
        {"99999999999999999999999", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeNumber(c.text), c.halfEven) << c.text;
        EXPECT_EQ(DecodeNumber(c.text, NumberRounding::Down), c.down) << c.text;
    }
}

TEST(Settings, EachKeyDecidesItsOwnFlag)
{
    TestDir dir;
    const std::string path = dir.createFile("TSL.INI", "[General]\r\n"
                                                       "Exclude Images=True\r\n"
                                                       "Include Only Images=False\r\n"
                                                       "Exclude Binary Files=on\r\n"
                                                       "Launch Browser=1\r\n"
                                                       "Launch View/Delete Wizard=true\r\n"
                                                       "Minimum File Count=2.5\r\n"
                                                       "Confirm Deletions=\r\n"
                                                       "Show Quick Start=yes\r\n")
                                 .string();
    const Settings s = LoadSettings(path);
    EXPECT_TRUE(s.excludeImages);
    EXPECT_FALSE(s.includeOnlyImages);
    EXPECT_FALSE(s.excludeBinaryFiles);
    EXPECT_FALSE(s.launchBrowser);
    EXPECT_TRUE(s.launchViewDeleteWizard);
    EXPECT_EQ(s.minimumFileCount, 2);
    EXPECT_FALSE(s.confirmDeletions);
    EXPECT_TRUE(s.showQuickStart);
}

TEST(Settings, ExitWriteFollowsTheCheckBoxStates)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    MainWindowValues w;
    w.directory = "/home/me/.cache/mozilla";
    w.fileMask = "*.htm;*.gif";
    w.excludeImages = CheckState::Checked;
    w.includeOnlyImages = CheckState::Greyed;
    w.excludeBinaryFiles = CheckState::Unchecked;
    w.launchBrowser = CheckState::Checked;
    w.launchViewDeleteWizard = CheckState::Greyed;
    w.minFileCountText = "abc";
    ASSERT_TRUE(WriteMainWindowSettings(w, path));
    EXPECT_EQ(ReadWholeFile(path), "[General]\r\n"
                                   "Directory=/home/me/.cache/mozilla\r\n"
                                   "File Pattern=*.htm;*.gif\r\n"
                                   "Exclude Images=True\r\n"
                                   "Include Only Images=False\r\n"
                                   "Exclude Binary Files=False\r\n"
                                   "Launch Browser=True\r\n"
                                   "Launch View/Delete Wizard=False\r\n"
                                   "Minimum File Count=abc\r\n");

    // What the program wrote reads back as the same options.
    Settings s = LoadSettings(path);
    EXPECT_EQ(s.directory, w.directory);
    EXPECT_EQ(s.filePattern, w.fileMask);
    EXPECT_TRUE(s.excludeImages);
    EXPECT_FALSE(s.includeOnlyImages);
    EXPECT_FALSE(s.excludeBinaryFiles);
    EXPECT_TRUE(s.launchBrowser);
    EXPECT_FALSE(s.launchViewDeleteWizard);
    EXPECT_EQ(s.minimumFileCount, 0);

    // Quick Start closing writes its word every time; the record follows.
    ASSERT_TRUE(WriteQuickStartClosing(false, s, path));
    EXPECT_TRUE(s.showQuickStart);
    EXPECT_EQ(ReadSetting(kSectionGeneral, kKeyShowQuickStart, "", path), "Yes");
    ASSERT_TRUE(WriteQuickStartClosing(true, s, path));
    EXPECT_FALSE(s.showQuickStart);
    EXPECT_FALSE(LoadSettings(path).showQuickStart);

    ASSERT_TRUE(WriteConfirmDeletionsOff(s, path));
    EXPECT_FALSE(s.confirmDeletions);
    EXPECT_EQ(ReadSetting(kSectionGeneral, kKeyConfirmDeletions, "", path), "False");
    EXPECT_FALSE(LoadSettings(path).confirmDeletions);
}

TEST(Settings, ReadCacheRecordsIsOnUntilTurnedOffAndNeverWrittenOnExit)
{
    test::TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    EXPECT_TRUE(LoadSettings(path).readCacheRecords);
    // The window's closing leaves the key alone, whatever else it writes.
    ASSERT_TRUE(WriteMainWindowSettings({}, path));
    EXPECT_EQ(ReadSetting(kSectionGeneral, kKeyReadCacheRecords, "absent", path), "absent");

    Settings s = LoadSettings(path);
    ASSERT_TRUE(WriteReadCacheRecords(true, s, path));
    EXPECT_TRUE(s.readCacheRecords);
    EXPECT_EQ(ReadSetting(kSectionGeneral, kKeyReadCacheRecords, "", path), "True");
    EXPECT_TRUE(LoadSettings(path).readCacheRecords);
    ASSERT_TRUE(WriteMainWindowSettings({}, path));
    EXPECT_TRUE(LoadSettings(path).readCacheRecords);
    ASSERT_TRUE(WriteReadCacheRecords(false, s, path));
    EXPECT_FALSE(LoadSettings(path).readCacheRecords);
    ASSERT_TRUE(WriteMainWindowSettings({}, path));
    EXPECT_FALSE(LoadSettings(path).readCacheRecords);
    for (const auto& [word, on] : std::vector<std::pair<std::string, bool>>{
             {"true", true}, {"TRUE", true}, {"1", false}, {"yes", false}, {"", false}}) {
        ASSERT_TRUE(WriteSetting(kSectionGeneral, kKeyReadCacheRecords, word, path));
        EXPECT_EQ(LoadSettings(path).readCacheRecords, on) << word;
    }
}

} // namespace
} // namespace tessaloom
