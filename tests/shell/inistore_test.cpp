#include "shell/inistore.h"

#include "support/testdir.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::TestDir;
using namespace std::string_literals;

TEST(IniStore, ReadsHandWrittenFilesWithoutRegardToCase)
{
    TestDir dir;
    const std::string path = dir.createFile("TSL.INI", "; kept by hand\n"
                                                       "orphan=before any section\r\n"
                                                       "[other]\r\n"
                                                       "Directory=/wrong\r\n"
                                                       "  [ general ]  \r\n"
                                                       "  directory  =  /home/me  \r\n"
                                                       ";File Pattern=*.txt\n"
                                                       "FILE PATTERN=\"*.htm\"\n"
                                                       "Empty=\n"
                                                       "Directory=/second\n"
                                                       "[General]\n"
                                                       "Later=ignored\n"
                                                       "NoNewlineAtEnd=last")
                                 .string();
    EXPECT_EQ(ReadSetting("General", "Directory", "dflt", path), "/home/me");
    EXPECT_EQ(ReadSetting("GENERAL", "file pattern", "dflt", path), "*.htm");
    EXPECT_EQ(ReadSetting("General", "Empty", "dflt", path), "");
    EXPECT_EQ(ReadSetting("Other", "DIRECTORY", "dflt", path), "/wrong");
    // Only the first of two equal sections counts; keys outside a section belong to none.
    EXPECT_EQ(ReadSetting("General", "Later", "dflt", path), "dflt");
    EXPECT_EQ(ReadSetting("General", "orphan", "dflt", path), "dflt");
    EXPECT_EQ(ReadSetting("Missing", "Directory", "dflt", path), "dflt");
    EXPECT_EQ(ReadSetting("General", "Missing", "dflt", path), "dflt");
    EXPECT_EQ(ReadSetting("General", "Directory", "dflt", (dir / "absent.ini").string()), "dflt");
    const std::string bom = dir.createFile("bom.ini", "\xEF\xBB\xBF[General]\r\nk=v\r\n").string();
    EXPECT_EQ(ReadSetting("General", "k", "dflt", bom), "v");
}

TEST(IniStore, CutsLongValuesTo254Characters)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    const std::string ascii(300, 'd');
    ASSERT_TRUE(WriteSetting("General", "Directory", ascii, path));
    EXPECT_EQ(ReadSetting("General", "Directory", "", path), ascii.substr(0, 254));
    // The whole value stays in the file.
    EXPECT_NE(ReadWholeFile(path).find(ascii), std::string::npos);

    // UTF-8 text is cut between characters, never inside one.
    std::string utf8;
    for (int i = 0; i < 200; ++i)
        utf8 += "\xC3\xA9"; // e-acute
    ASSERT_TRUE(WriteSetting("General", "Directory", utf8, path));
    EXPECT_EQ(ReadSetting("General", "Directory", "", path), utf8);
    utf8 += utf8;
    ASSERT_TRUE(WriteSetting("General", "Directory", utf8, path));
    EXPECT_EQ(ReadSetting("General", "Directory", "", path), utf8.substr(0, 254 * 2));
}

TEST(IniStore, WriteChangesOnlyItsOwnLine)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();

    ASSERT_TRUE(WriteSetting("General", "Directory", "/a", path));
    EXPECT_EQ(ReadWholeFile(path), "[General]\r\nDirectory=/a\r\n");

    dir.createFile("TSL.INI", "; mine\n"
                              "[general]\n"
                              "directory = /old   \n"
                              "Tail=1\n"
                              "\n"
                              "[Other]\r\n"
                              "x=y");
    // In place: the key's own spelling and blanks before "=" stay.
    ASSERT_TRUE(WriteSetting("General", "Directory", "/new", path));
    // New key after the section's last line, before the blank line.
    ASSERT_TRUE(WriteSetting("General", "File Pattern", "*.*", path));
    // New key at the end of a last section whose last line has no line end.
    ASSERT_TRUE(WriteSetting("other", "z", "1", path));
    // New section at the end.
    ASSERT_TRUE(WriteSetting("Third", "View/Delete Wizard", "00000000", path));
    EXPECT_EQ(ReadWholeFile(path), "; mine\n"
                                   "[general]\n"
                                   "directory =/new\r\n"
                                   "Tail=1\n"
                                   "File Pattern=*.*\r\n"
                                   "\n"
                                   "[Other]\r\n"
                                   "x=y\r\n"
                                   "z=1\r\n"
                                   "[Third]\r\n"
                                   "View/Delete Wizard=00000000\r\n");

    // A file without a line end at its end, new section.
    dir.createFile("b.ini", "[A]\nk=v");
    ASSERT_TRUE(WriteSetting("B", "k", "w", (dir / "b.ini").string()));
    EXPECT_EQ(ReadWholeFile(dir / "b.ini"), "[A]\nk=v\r\n[B]\r\nk=w\r\n");
}

TEST(IniStore, EveryValueComesBackAsWritten)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    // Values the reader would trim or unquote go in double quotes; others as given.
    const struct
    {
        std::string value;
        std::string line;
    } cases[] = {
        {"/home/u/My Folder ", "\"/home/u/My Folder \""},
        {" lead", "\" lead\""},
        {"tab\t", "\"tab\t\""},
        {"\"quoted\"", "\"\"quoted\"\""},
        {"'single'", "\"'single'\""},
        {" ", "\" \""},
        {"in side", "in side"},
        {"\"open", "\"open"},
        {"\"", "\""},
        {"", ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteSetting("General", "Directory", c.value, path)) << c.value;
        EXPECT_EQ(ReadWholeFile(path), "[General]\r\nDirectory=" + c.line + "\r\n") << c.value;
        EXPECT_EQ(ReadSetting("General", "Directory", "dflt", path), c.value);
    }
}

TEST(IniStore, RefusesWhatWouldBreakTheFile)
{
    TestDir dir;
    const std::string path = dir.createFile("TSL.INI", "[General]\r\nDirectory=/a\r\n").string();
    const std::string before = ReadWholeFile(path);
    EXPECT_FALSE(WriteSetting("General", "Directory", "/a\n[Evil]\nx=1", path));
    EXPECT_FALSE(WriteSetting("General", "Directory", std::string("/a\0b", 4), path));
    EXPECT_FALSE(WriteSetting("General", "Key=x", "1", path));
    EXPECT_FALSE(WriteSetting("General", "[Key", "1", path));
    EXPECT_FALSE(WriteSetting("General", " ", "1", path));
    EXPECT_FALSE(WriteSetting("Gen]eral", "k", "1", path));
    const Result<void> refused = WriteSetting("General", "Directory", "/a\r", path);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, kCannotStore);
    EXPECT_EQ(ReadWholeFile(path), before);

    // In a batch, the pair that cannot be stored is passed over.
    ASSERT_TRUE(WriteSettings("General", {{"Directory", "/b\r\n"}, {"Other", "2"}}, path));
    EXPECT_EQ(ReadSetting("General", "Directory", "", path), "/a");
    EXPECT_EQ(ReadSetting("General", "Other", "", path), "2");
}

TEST(IniStore, SurvivesHostileFiles)
{
    TestDir dir;
    // Larger than any settings file: read as absent, never replaced.
    const std::string huge(kMaxSettingsFileSize + 1, '\n');
    const std::string big = dir.createFile("big.ini", "[General]\nk=v\n" + huge).string();
    EXPECT_EQ(ReadSetting("General", "k", "dflt", big), "dflt");
    const Result<void> tooLarge = WriteSetting("General", "k", "w", big);
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, kTooLarge);
    EXPECT_EQ(ReadWholeFile(big).size(), huge.size() + 14);

    // A folder, or a path below a regular file, where the file should be.
    const std::string folder = dir.createDir("folder.ini").string();
    EXPECT_EQ(ReadSetting("General", "k", "dflt", folder), "dflt");
    const Result<void> onFolder = WriteSetting("General", "k", "v", folder);
    ASSERT_FALSE(onFolder);
    EXPECT_EQ(onFolder.error().code, kNotRegularFile);
    const std::string below = (dir / "big.ini" / "TSL.INI").string();
    EXPECT_EQ(ReadSetting("General", "k", "dflt", below), "dflt");
    const Result<void> belowFile = WriteSetting("General", "k", "v", below);
    ASSERT_FALSE(belowFile);
    EXPECT_EQ(belowFile.error().code, ENOTDIR);
    EXPECT_NE(belowFile.error().message.find(below), std::string::npos);

    // Binary junk and unterminated headers are just lines.
    const std::string junk = "[Gen\0eral]\n[General\n\xFF\xFE=\x01\n[General]\n=x\nk=\"\n"s;
    const std::string odd = dir.createFile("odd.ini", junk).string();
    EXPECT_EQ(ReadSetting("General", "k", "dflt", odd), "\"");
    ASSERT_TRUE(WriteSetting("General", "k", "v", odd));
    EXPECT_EQ(ReadWholeFile(odd), junk.substr(0, junk.size() - 2) + "v\r\n");
}

} // namespace
} // namespace tessaloom
