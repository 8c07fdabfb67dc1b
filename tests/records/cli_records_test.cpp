#include "cli/cli.h"

#include "support/recordbuilder.h"
#include "support/recordfolder.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

namespace tessaloom::cli {
namespace {

using test::ReadWholeFile;
using test::TestDir;

// Points the cache home at a temporary folder for one test.
class CacheHome
{
public:
    explicit CacheHome(const std::filesystem::path& path)
    {
        if (const char* old = std::getenv("XDG_CACHE_HOME"))
            m_old = old;
        ::setenv("XDG_CACHE_HOME", path.c_str(), 1);
    }
    ~CacheHome()
    {
        if (m_old)
            ::setenv("XDG_CACHE_HOME", m_old->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }

private:
    std::optional<std::string> m_old;
};

TEST(CliRecords, RecordsAreReadByDefaultAndStorePicturesUnderTheCacheHome)
{
    TestDir dir;
    const auto cache = dir.createDir("cache");
    const auto folder = dir.createDir("Cache_Data");
    test::WriteRecordFolder(folder);
    CacheHome home(cache);
    struct Case
    {
        std::vector<std::string> args;
        std::string counts;
        bool picturesStored;
    };
    const Case cases[] = {
        {{"index", "--no-records", folder.string()},
         "Files Indexed: 6\nImages Filtered: 0\nBinary Files Filtered: 8\n",
         false},
        {{"index", folder.string()},
         "Files Indexed: 13\nImages Filtered: 0\nBinary Files Filtered: 1\n",
         true},
        {{"index", "--records", folder.string()},
         "Files Indexed: 13\nImages Filtered: 0\nBinary Files Filtered: 1\n",
         true},
        {{"index", "--records", "--no-records", folder.string()},
         "Files Indexed: 6\nImages Filtered: 0\nBinary Files Filtered: 8\n",
         false},
        {{"index", "--exclude-images", folder.string()},
         "Files Indexed: 8\nImages Filtered: 5\nBinary Files Filtered: 1\n",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        std::filesystem::remove_all(cache / "Tessaloom");
        std::ostringstream out, err;
        Streams streams{out, err, false};
        ASSERT_EQ(cli::Run(c.args, streams), kExitOk) << err.str();
        EXPECT_EQ(out.str(), (folder / "!ndex.htm").string() + "\n" + c.counts);
        const std::string document = ReadWholeFile(folder / "!ndex.htm");
        EXPECT_EQ(document.find("file://") != std::string::npos, c.picturesStored);
        // Pictures, beside what the build keeps of its examinations.
        bool pictures = false;
        if (std::filesystem::exists(cache / "Tessaloom" / "thumbnails")) {
            for (const auto& entry :
                 std::filesystem::recursive_directory_iterator(cache / "Tessaloom" / "thumbnails"))
                pictures =
                    pictures || (entry.is_regular_file() && entry.path().filename() != "examined");
        }
        EXPECT_EQ(pictures, c.picturesStored);
    }
}

// Large pictures are scaled on Qt's own pooled threads, which a program without a
// Qt application object must stop itself before exit: one left running corrupted
// the heap during Qt's clean-up in about a third of the runs. The tool's scaler is
// a module it loads for its first picture.
TEST(CliRecords, TheCommandEndsCleanlyAfterScalingLargePictures)
{
    TestDir dir;
    const auto folder = dir.createDir("cache2");
    QImage picture(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x ^ y) % 256));
    for (const char* format : {"png", "bmp"}) {
        QByteArray bytes;
        QBuffer device(&bytes);
        device.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture.save(&device, format));
        for (int i = 0; i < 3; ++i)
            dir.createFile(
                "cache2/" + std::string(format) + std::to_string(i),
                test::FirefoxRecord({"http://site.test/" + std::to_string(i) + "." + format,
                                     test::OkHead(std::string("image/") + format),
                                     bytes.toStdString()}));
    }
    for (int run = 0; run < 12; ++run) {
        const auto home = dir.path() / ("home" + std::to_string(run));
        const std::string command = "XDG_CACHE_HOME='" + home.string() + "' '" +
                                    TESSALOOM_CLI_PROGRAM + "' index --quiet --records '" +
                                    folder.string() + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitOk)
            << "run " << run << ": status " << status;
    }
    // The pictures are too large to be kept whole: a thumbnail of each means the
    // tool found and loaded its scaler.
    int thumbnails = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path() / "home11"))
        thumbnails += entry.is_regular_file() && entry.path().filename() != "examined" &&
                      entry.file_size() < 1'000'000;
    EXPECT_EQ(thumbnails, 6);
}

TEST(CliRecords, HelpNamesBothOptions)
{
    std::ostringstream out, err;
    Streams streams{out, err, false};
    ASSERT_EQ(cli::Run({"index", "--help"}, streams), kExitOk);
    EXPECT_NE(out.str().find("--records"), std::string::npos);
    EXPECT_NE(out.str().find("--no-records"), std::string::npos);
}

} // namespace
} // namespace tessaloom::cli
