// Times the wizard's read of an index of many entries whose files all exist,
// against the floor of any reader that must test every row's file: read the
// document's lines, then read the folder's names once.
//
//   tessaloom-bench-readback [FOLDER [ENTRIES [RUNS]]]
//   tessaloom-bench-readback --once floor|read FOLDER
//
// FOLDER (default: a new temporary folder, removed afterwards) gets ENTRIES
// (default 100000) empty files and their index. The floor and the read run RUNS
// times each (default 9), alternating, after one warm-up, so the document is read
// from the page cache; the times are medians and the ratio is the median of the
// pairs' ratios, with their least and greatest.
// On a busy machine the best of a few runs in one process still swings; --once
// does one floor or one read of a FOLDER prepared earlier, so that an outside
// timer can interleave the two as whole processes (/usr/bin/time, hyperfine).
#include "indexer/indexdocument.h"
#include "wizard/indexreader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tessaloom;
using Clock = std::chrono::steady_clock;

double BestSeconds(int runs, const std::function<std::size_t()>& work, std::size_t& result)
{
    result = work(); // warm-up
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        result = work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool Prepare(const std::filesystem::path& folder, int entries)
{
    std::filesystem::create_directories(folder);
    // The files of an earlier run in the same folder are made again only when missing.
    const bool fresh = !std::filesystem::exists(folder / kIndexDocumentName);
    std::vector<IndexEntry> list;
    list.reserve(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%08X", static_cast<unsigned>(i) * 2654435761u);
        const std::filesystem::path file = folder / name;
        if (fresh || !std::filesystem::exists(file)) {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0)
                return false;
            ::close(fd);
        }
        char key[32];
        std::snprintf(key, sizeof key, "2024/%02d/%02d %02d:%02d:%02d", i % 12 + 1, i % 28 + 1,
                      i % 24, i % 60, (i * 7) % 60);
        // A mix like a real cache: pictures, titled pages with references, kinds.
        std::string label = i % 3 == 0   ? "       Image"
                            : i % 3 == 1 ? "Page " + std::to_string(i) + " &amp; news &#174;"
                                         : "      Untitled";
        list.push_back({key, label, name});
    }
    IndexDocumentHeader header;
    header.folder = folder.string();
    header.pattern = "*.*";
    if (const Result<void> written = WriteIndexDocument(folder, header, list); !written) {
        std::fprintf(stderr, "%s\n", written.error().message.c_str());
        return false;
    }
    return true;
}

std::size_t ReadLines(const std::filesystem::path& document)
{
    std::ifstream in(document, std::ios::binary);
    std::string line;
    std::size_t count = 0;
    while (std::getline(in, line))
        ++count;
    return count;
}

// The least a reader that tests every row's file must do: the document's lines,
// then the folder's names read once. Returns the number of names.
std::size_t Floor(const std::filesystem::path& folder, const std::filesystem::path& document)
{
    ReadLines(document);
    std::size_t count = 0;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return count;
    while (::readdir(dir) != nullptr)
        ++count;
    ::closedir(dir);
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0) {
        const std::filesystem::path folder = argv[3];
        const std::filesystem::path document = folder / kIndexDocumentName;
        if (std::strcmp(argv[2], "floor") == 0) {
            std::printf("%zu names\n", Floor(folder, document));
            return 0;
        }
        if (std::strcmp(argv[2], "read") == 0) {
            std::printf("%zu rows\n", ReadIndexDocument(document).rows.size());
            return 0;
        }
        return 2;
    }
    const bool temporary = argc < 2;
    std::filesystem::path folder;
    if (temporary) {
        std::string pattern = (std::filesystem::temp_directory_path() / "readback.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return 1;
        folder = pattern;
    } else {
        folder = argv[1];
    }
    const int entries = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 9);
    if (!Prepare(folder, entries))
        return 1;
    const std::filesystem::path document = folder / kIndexDocumentName;

    std::size_t lines = 0;
    const double linesSeconds = BestSeconds(
        runs, [&] { return ReadLines(document); }, lines);
    // The floor and the read alternate, one of each a round, so that a burst of
    // load on a shared machine hits both alike; the ratio is taken pair by pair.
    std::size_t names = Floor(folder, document); // warm-up
    std::size_t rows = ReadIndexDocument(document).rows.size();
    std::vector<double> floorTimes, readTimes, ratios;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        names = Floor(folder, document);
        floorTimes.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        rows = ReadIndexDocument(document).rows.size();
        readTimes.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        ratios.push_back(readTimes.back() / floorTimes.back());
    }
    const double floorSeconds = Median(floorTimes);
    const double readSeconds = Median(readTimes);

    // The reader's own share: the same document from memory, every file taken
    // as existing, so no file-system call at all.
    std::string text;
    {
        std::ifstream in(document, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t parsedRows = 0;
    const double parseSeconds = BestSeconds(
        runs,
        [&] {
            return ReadIndexText(text, folder, [](std::string_view) { return true; }).rows.size();
        },
        parsedRows);

    const double ratio = Median(ratios);
    std::printf("entries %d, document %llu bytes, %zu lines\n", entries,
                static_cast<unsigned long long>(std::filesystem::file_size(document)), lines);
    std::printf("lines read           %8.2f ms\n", linesSeconds * 1e3);
    std::printf("floor (lines, then   %8.2f ms  median (%zu names)\n  the folder listed)\n",
                floorSeconds * 1e3, names);
    std::printf("index read back      %8.2f ms  median (%zu rows)\n", readSeconds * 1e3, rows);
    std::printf("  of which parsing   %8.2f ms  (from memory, no existence test)\n",
                parseSeconds * 1e3);
    std::printf("ratio to the floor, %d alternating pairs: median %.2f, min %.2f, max %.2f "
                "(goal: within 2)\n",
                runs, ratio, *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("ratio to the lines alone %.2f\n", readSeconds / linesSeconds);

    if (temporary)
        std::filesystem::remove_all(folder);
    return rows == static_cast<std::size_t>(entries) && ratio <= 2.0 ? 0 : 1;
}
