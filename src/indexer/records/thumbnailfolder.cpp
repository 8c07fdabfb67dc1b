#include "indexer/records/thumbnailfolder.h"

#include "platform/readfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tessaloom::records {

namespace fs = std::filesystem;

namespace {

// Without a dot or a "-", so that no picture's name or prefix is ever taken for it.
constexpr std::string_view kResultsName = "examined";

// A stable name for an indexed folder: FNV-1a of its absolute path. Collisions
// would only mix two folders' pictures, and the path keeps them apart in practice.
std::string FolderKey(const std::string& path)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        key[static_cast<std::size_t>(i)] = kHex[hash & 0xF];
    return key;
}

bool IsPlainNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// "<plain bytes of the name>-<16 hex>-": the hash of the real name keeps apart
// names that reduce alike. Every picture of one cache file begins so.
std::string PicturePrefix(std::string_view cacheFileName)
{
    std::string prefix;
    for (char c : cacheFileName.substr(0, 64))
        prefix += IsPlainNameByte(c) ? c : '_';
    return prefix + "-" + FolderKey(std::string(cacheFileName)) + "-";
}

// The prefix and a hash of the stamp, which changes when the cache file does.
std::string PictureStem(std::string_view cacheFileName, const CacheFileStamp& stamp)
{
    return PicturePrefix(cacheFileName) +
           FolderKey(std::to_string(stamp.size) + "/" + std::to_string(stamp.modified));
}

// A committed folder of one indexed folder: 16 hexadecimal digits.
bool IsFolderKey(const std::string& name)
{
    return name.size() == 16 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// Bytes of the regular files directly in `folder`.
std::uint64_t FolderBytes(const fs::path& folder)
{
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        struct stat info
        {
        };
        if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode))
            total += static_cast<std::uint64_t>(info.st_size);
    }
    return total;
}

fs::path Absolute(const fs::path& p)
{
    std::error_code ec;
    fs::path a = fs::weakly_canonical(p, ec);
    if (ec)
        a = fs::absolute(p, ec);
    return a.lexically_normal();
}

bool IsWithin(const fs::path& inner, const fs::path& outer)
{
    const std::string i = inner.string();
    std::string o = outer.string();
    if (!o.empty() && o.back() != '/')
        o += '/';
    return i == outer.string() || i.starts_with(o);
}

// A folder a build leaves for a moment beside the committed ones: "KEY.new.PID"
// while it writes, "KEY.old.PID" while it swaps.
struct Leftover
{
    std::string key;
    bool old = false;
    pid_t pid = 0;
};

std::optional<Leftover> ParseLeftover(std::string_view name)
{
    if (name.size() < 22 || name.find_first_not_of("0123456789abcdef") != 16)
        return std::nullopt;
    Leftover found;
    found.key = std::string(name.substr(0, 16));
    const std::string_view kind = name.substr(16, 5);
    if (kind != ".new." && kind != ".old.")
        return std::nullopt;
    found.old = kind == ".old.";
    const std::string_view digits = name.substr(21);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), found.pid);
    if (ec != std::errc() || end != digits.data() + digits.size() || found.pid <= 0)
        return std::nullopt;
    return found;
}

bool ProcessIsRunning(pid_t pid)
{
    // EPERM: it runs, under another user.
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// A build killed while writing its pictures leaves its staging folder behind, and
// one killed mid-swap its set-aside previous pictures. Their processes are gone,
// so no build will ever finish with them: staging folders go, and previous
// pictures go back in place unless a later build has put its own there.
void SweepLeftovers(const fs::path& root)
{
    std::vector<std::pair<fs::path, Leftover>> found;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        auto leftover = ParseLeftover(it->path().filename().string());
        if (leftover && leftover->pid != ::getpid() && !ProcessIsRunning(leftover->pid))
            found.emplace_back(it->path(), std::move(*leftover));
    }
    for (const auto& [path, leftover] : found) {
        const fs::path committed = root / leftover.key;
        if (leftover.old && !fs::exists(fs::symlink_status(committed, ec)) &&
            ::rename(path.c_str(), committed.c_str()) == 0)
            continue;
        fs::remove_all(path, ec);
    }
}

bool WriteNewFile(const fs::path& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = ::close(fd) == 0 && done == bytes.size();
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

// Puts `bytes` in place of `folder`'s results in one step.
bool ReplaceResults(const fs::path& folder, std::string_view bytes)
{
    const fs::path target = folder / kResultsName;
    const fs::path temporary =
        folder / (std::string(kResultsName) + ".new." + std::to_string(::getpid()));
    ::unlink(temporary.c_str());
    if (!WriteNewFile(temporary, bytes))
        return false;
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

ThumbnailFolder::ThumbnailFolder(const fs::path& cacheHome, const fs::path& indexedFolder,
                                 std::uint64_t byteBudget)
    : m_budget(byteBudget), m_storeBudget(byteBudget)
{
    const fs::path indexed = Absolute(indexedFolder);
    m_root = Absolute(cacheHome) / "Tessaloom" / "thumbnails";
    m_final = m_root / FolderKey(indexed.string());
    m_staging = m_root / (FolderKey(indexed.string()) + ".new." + std::to_string(::getpid()));
    // Pictures must never land in the folder being indexed (a cache home inside it).
    m_disabled = cacheHome.empty() || IsWithin(m_root, indexed);
}

ThumbnailFolder::~ThumbnailFolder()
{
    discard();
}

bool ThumbnailFolder::ensureStaging()
{
    if (m_disabled)
        return false;
    if (m_stagingMade)
        return true;
    std::error_code ec;
    fs::create_directories(m_root, ec);
    fs::remove_all(m_staging, ec); // left by a crashed run of a process with our id
    SweepLeftovers(m_root);
    if (::mkdir(m_staging.c_str(), 0700) != 0) {
        m_disabled = true;
        return false;
    }
    m_stagingMade = true;
    for (const std::string& name : m_deferred) {
        const fs::path from = m_final / name;
        const fs::path to = m_staging / name;
        if (::link(from.c_str(), to.c_str()) != 0)
            fs::copy_file(from, to, ec); // its address is already on the page
    }
    m_deferred.clear();
    return true;
}

std::optional<std::string> ThumbnailFolder::add(std::string_view cacheFileName,
                                                std::string_view extension, std::string_view bytes,
                                                const CacheFileStamp& stamp)
{
    if (!fits(bytes.size()) || !ensureStaging())
        return std::nullopt;
    std::string name = PictureStem(cacheFileName, stamp);
    name += '.';
    for (char c : extension.substr(0, 8))
        name += IsPlainNameByte(c) ? c : '_';
    if (!WriteNewFile(m_staging / name, bytes))
        return std::nullopt;
    m_used += bytes.size();
    return FileUrl(m_final / name);
}

const std::string* ThumbnailFolder::previousPicture(std::string_view cacheFileName,
                                                    const CacheFileStamp& stamp)
{
    if (m_disabled)
        return nullptr;
    if (!m_previous) {
        m_previous.emplace();
        std::error_code ec;
        for (fs::directory_iterator it(m_final, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            const std::size_t dot = name.rfind('.');
            if (dot != std::string::npos)
                m_previous->emplace(name.substr(0, dot), name);
        }
    }
    const auto found = m_previous->find(PictureStem(cacheFileName, stamp));
    return found == m_previous->end() ? nullptr : &found->second;
}

bool ThumbnailFolder::hasPrevious(std::string_view cacheFileName, const CacheFileStamp& stamp)
{
    return previousPicture(cacheFileName, stamp) != nullptr;
}

std::optional<std::string> ThumbnailFolder::reuse(std::string_view cacheFileName,
                                                  const CacheFileStamp& stamp)
{
    const std::string* found = previousPicture(cacheFileName, stamp);
    if (!found)
        return std::nullopt;
    const fs::path from = m_final / *found;
    struct stat info
    {
    };
    if (::lstat(from.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !fits(static_cast<std::uint64_t>(info.st_size)))
        return std::nullopt;
    if (!m_stagingMade) {
        m_deferred.push_back(*found);
    } else if (::link(from.c_str(), (m_staging / *found).c_str()) != 0) {
        // A second name for the same file: the previous page keeps its picture
        // until this build's page replaces it.
        return std::nullopt;
    }
    m_used += static_cast<std::uint64_t>(info.st_size);
    return FileUrl(m_final / *found);
}

std::string ThumbnailFolder::readResults(std::size_t maxBytes) const
{
    if (m_disabled)
        return {};
    const fs::path path = m_final / kResultsName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string bytes;
    struct stat info
    {
    };
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
        static_cast<std::uint64_t>(info.st_size) <= maxBytes) {
        // One byte more than it claims tells a file that grew while it was read.
        bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
        // Results that cannot be read are no results: the pictures are made again.
        const Result<std::size_t> got = ReadFull(fd, bytes.data(), bytes.size());
        bytes.resize(got && got.value() <= static_cast<std::size_t>(info.st_size) ? got.value()
                                                                                  : 0);
    }
    ::close(fd);
    return bytes;
}

bool ThumbnailFolder::commit()
{
    if (m_disabled && !m_stagingMade)
        return false;
    std::error_code ec;
    // Results without pictures still need a folder of their own.
    if (!m_stagingMade && m_deferred.empty() && !m_results.empty())
        ensureStaging();
    // A build that only took pictures over: its page, already in place, names
    // none but those, so the previous folder stays, less the pictures it dropped.
    if (!m_stagingMade && !m_deferred.empty()) {
        std::sort(m_deferred.begin(), m_deferred.end());
        std::vector<fs::path> dropped;
        for (fs::directory_iterator it(m_final, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if ((name != kResultsName || m_results.empty()) &&
                !std::binary_search(m_deferred.begin(), m_deferred.end(), name))
                dropped.push_back(it->path());
        }
        for (const fs::path& path : dropped)
            fs::remove_all(path, ec);
        m_deferred.clear();
        if (!m_results.empty())
            ReplaceResults(m_final, m_results); // failing, the last ones still hold
        ::utimensat(AT_FDCWD, m_final.c_str(), nullptr, 0);
        trimStore();
        return true;
    }
    // A build without pictures names none: the previous ones go, and nothing is
    // created (a plain folder indexed by default leaves the cache home alone).
    if (!m_stagingMade) {
        fs::remove_all(m_final, ec);
        return !ec;
    }
    if (!m_results.empty())
        WriteNewFile(m_staging / kResultsName, m_results); // without it, files are read again
    const fs::path old =
        m_root / (m_final.filename().string() + ".old." + std::to_string(::getpid()));
    fs::remove_all(old, ec);
    if (::rename(m_final.c_str(), old.c_str()) != 0 && errno != ENOENT)
        return false;
    if (::rename(m_staging.c_str(), m_final.c_str()) != 0) {
        ::rename(old.c_str(), m_final.c_str()); // keep the previous pictures
        return false;
    }
    m_stagingMade = false;
    fs::remove_all(old, ec);
    // The folder's time says when it was last built: the store drops the folders
    // built longest ago first.
    ::utimensat(AT_FDCWD, m_final.c_str(), nullptr, 0);
    trimStore();
    return true;
}

void ThumbnailFolder::trimStore() const
{
    struct Built
    {
        fs::path folder;
        std::int64_t when;
        std::uint64_t bytes;
    };
    std::vector<Built> others;
    std::uint64_t total = FolderBytes(m_final);
    std::error_code ec;
    for (fs::directory_iterator it(m_root, ec), end; !ec && it != end; it.increment(ec)) {
        struct stat info
        {
        };
        if (!IsFolderKey(it->path().filename().string()) || it->path() == m_final ||
            ::lstat(it->path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        const auto when =
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
        others.push_back({it->path(), when, FolderBytes(it->path())});
        total += others.back().bytes;
    }
    std::sort(others.begin(), others.end(),
              [](const Built& a, const Built& b) { return a.when < b.when; });
    for (const Built& other : others) {
        if (total <= m_storeBudget)
            break;
        std::error_code removed;
        fs::remove_all(other.folder, removed);
        if (!removed)
            total -= other.bytes;
    }
}

void RemoveThumbnailsOf(const fs::path& cacheHome, const fs::path& indexedFolder,
                        std::string_view cacheFileName)
{
    const ThumbnailFolder store(cacheHome, indexedFolder);
    if (!store.usable())
        return;
    const std::string prefix = PicturePrefix(cacheFileName);
    std::error_code ec;
    std::vector<fs::path> doomed;
    for (fs::directory_iterator it(store.folder(), ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().starts_with(prefix))
            doomed.push_back(it->path());
    }
    for (const fs::path& path : doomed)
        ::unlink(path.c_str());
}

void RemoveAllThumbnailsOf(const fs::path& cacheHome, const fs::path& indexedFolder)
{
    const ThumbnailFolder store(cacheHome, indexedFolder);
    if (!store.usable())
        return;
    std::error_code ec;
    fs::remove_all(store.folder(), ec);
}

void ThumbnailFolder::discard()
{
    if (!m_stagingMade)
        return;
    std::error_code ec;
    fs::remove_all(m_staging, ec);
    m_stagingMade = false;
}

std::string FileUrl(const fs::path& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path.string()) {
        if (IsPlainNameByte(static_cast<char>(c)) || c == '.' || c == '~' || c == '/') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 0xF];
        }
    }
    return url;
}

} // namespace tessaloom::records
