// tessaloom-gen-cache: writes a synthetic browser cache folder for the index
// benchmark. The same seed always gives the same names, contents and dates, so
// runs on different machines and days measure the same work.
//
// The mix follows what real disk caches hold: mostly extensionless hashed names,
// many small files and a few large ones, pictures, scripts, pages whose title sits
// anywhere (including far beyond the first 32 KB or past the examined 100,000
// bytes), pages with only headings or no tags at all, and opaque binary data.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

// xoshiro256** seeded by splitmix64: the standard library's distributions are
// implementation-defined, which would make a seed mean different folders on
// different compilers.
class Random
{
public:
    explicit Random(std::uint64_t seed)
    {
        for (auto& s : m_state) {
            seed += 0x9E3779B97F4A7C15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            s = z ^ (z >> 31);
        }
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    /// Uniform in [lo, hi]. The modulo bias is irrelevant at these ranges.
    std::uint64_t between(std::uint64_t lo, std::uint64_t hi)
    {
        return lo + next() % (hi - lo + 1);
    }

    bool chance(unsigned percent) { return next() % 100 < percent; }

    template <typename T> const T& pick(const std::vector<T>& items)
    {
        return items[next() % items.size()];
    }

    void fillBytes(std::string& out, std::size_t count)
    {
        const std::size_t start = out.size();
        out.resize(start + count);
        std::size_t i = start;
        for (; i + 8 <= out.size(); i += 8) {
            const std::uint64_t v = next();
            std::memcpy(out.data() + i, &v, 8);
        }
        if (i < out.size()) {
            const std::uint64_t v = next();
            std::memcpy(out.data() + i, &v, out.size() - i);
        }
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<std::uint64_t, 4> m_state{};
};

// Size buckets with weights in per mille: many small files, a long tail up to 500 KB.
struct SizeBucket
{
    unsigned weight;
    std::size_t lo;
    std::size_t hi;
};
constexpr std::array<SizeBucket, 8> kSizeBuckets = {{
    {20, 0, 0},
    {180, 1, 1023},
    {220, 1024, 4095},
    {240, 4096, 16383},
    {180, 16384, 65535},
    {80, 65536, 131071},
    {50, 131072, 262143},
    {30, 262144, 512000},
}};

// The "small" mix: a cache of many small pages and pictures, where the per-file
// work (listing, opening, sorting, dates, the page) weighs more than reading.
constexpr std::array<SizeBucket, 5> kSmallSizeBuckets = {{
    {20, 0, 0},
    {300, 1, 1023},
    {400, 1024, 4095},
    {250, 4096, 16383},
    {30, 16384, 65535},
}};

bool gSmallMix = false;

std::size_t DrawSize(Random& rng)
{
    unsigned roll = static_cast<unsigned>(rng.next() % 1000);
    const auto draw = [&](const auto& buckets) -> std::size_t {
        for (const SizeBucket& b : buckets) {
            if (roll < b.weight)
                return rng.between(b.lo, b.hi);
            roll -= b.weight;
        }
        return 0;
    };
    return gSmallMix ? draw(kSmallSizeBuckets) : draw(kSizeBuckets);
}

const std::vector<std::string> kWords = {
    "news",    "weather", "sports",  "home",     "page",     "search",  "results", "photo",
    "gallery", "video",   "market",  "stocks",   "travel",   "guide",   "recipes", "garden",
    "review",  "forum",   "thread",  "reply",    "account",  "login",   "shop",    "cart",
    "order",   "status",  "music",   "album",    "tour",     "dates",   "city",    "council",
    "library", "opening", "hours",   "contact",  "about",    "team",    "history", "school",
    "science", "space",   "mission", "launch",   "update",   "release", "notes",   "bicycle",
    "repair",  "kitchen", "winter",  "summer",   "festival", "tickets", "map",     "route",
    "train",   "station", "the",     "of",       "and",      "for",     "with",    "your",
    "best",    "new",     "free",    "official", "daily",    "weekly",  "Zürich",  "café",
    "naïve",   "Ørsted",  "São",     "Paulo",    "Kraków",   "Straße",  "日本",    "新闻"};

std::string Words(Random& rng, std::size_t lo, std::size_t hi)
{
    std::string out;
    const std::size_t n = rng.between(lo, hi);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0)
            out += ' ';
        out += rng.pick(kWords);
    }
    return out;
}

std::string Title(Random& rng)
{
    std::string title = Words(rng, 1, 10);
    title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
    const auto flavour = rng.between(0, 19);
    if (flavour == 0)
        title += ", " + Words(rng, 2, 4); // commas are cleaned out of titles
    else if (flavour == 1)
        title += "\r\n  " + Words(rng, 2, 4); // so are line breaks
    else if (flavour == 2)
        title += " - " + Words(rng, 20, 30); // beyond 90 characters: shortened
    else if (flavour == 3)
        title = "  " + title + "  ";
    else if (flavour == 4)
        title += " &amp; " + Words(rng, 1, 3);
    return title;
}

std::string Tag(Random& rng, std::string_view name)
{
    // Mostly lower case as today's pages write it; older pages shout.
    std::string tag(name);
    if (rng.chance(15))
        std::transform(tag.begin(), tag.end(), tag.begin(),
                       [](char c) { return static_cast<char>(std::toupper(c)); });
    return tag;
}

void AppendParagraphs(Random& rng, std::string& out, std::size_t until)
{
    while (out.size() < until) {
        switch (rng.between(0, 5)) {
        case 0:
            out += "<div class=\"c" + std::to_string(rng.between(1, 999)) + "\">";
            break;
        case 1:
            out += "<a href=\"/" + Words(rng, 1, 3) + "\">" + Words(rng, 1, 4) + "</a>\n";
            break;
        case 2:
            out += "<img src=\"/img/" + std::to_string(rng.next() % 100000) + ".jpg\" alt=\"\">\n";
            break;
        case 3:
            out += "</div>\n";
            break;
        default:
            out += "<p>" + Words(rng, 8, 60) + "</p>\n";
            break;
        }
    }
}

void AppendScript(Random& rng, std::string& out, std::size_t until)
{
    while (out.size() < until) {
        std::string id = std::to_string(rng.next() % 10000);
        id.insert(id.begin(), 'v'); // "v" + ... trips a false -Wrestrict in GCC 12
        switch (rng.between(0, 4)) {
        case 0:
            out += "function " + id + "(a,b){return a<b?a:b+" + std::to_string(rng.next() % 97) +
                   ";}\n";
            break;
        case 1:
            out += "var " + id + "=\"" + Words(rng, 1, 8) + "\";\n";
            break;
        case 2:
            out += "if(" + id + ">0&&" + id + "<1e3){" + id + "++;}else{" + id + "=0;}\n";
            break;
        case 3:
            out += "document.getElementById(\"" + id + "\").className=\"on\";\n";
            break;
        default:
            out += "/* " + Words(rng, 3, 12) + " */\n";
            break;
        }
    }
}

std::string HtmlHead(Random& rng)
{
    return "<!DOCTYPE html>\n<" + Tag(rng, "html") + " lang=\"en\">\n<" + Tag(rng, "head") +
           ">\n<meta charset=\"utf-8\">\n";
}

std::string Heading(Random& rng, int level)
{
    const std::string h = Tag(rng, "h" + std::to_string(level));
    return "<" + h + ">" + Title(rng) + "</" + h + ">\n";
}

// One web page. The placement of its title and headings varies the way the
// examination must cope with.
std::string MakePage(Random& rng, std::size_t size)
{
    std::string out;
    out.reserve(size + 512);
    const std::string title = Tag(rng, "title");
    auto shape = rng.between(0, 99);
    // Small pages have no room for 32 KB of script: those become plain titled pages.
    if (gSmallMix && shape >= 45 && shape < 62)
        shape -= 45;
    if (shape < 45) { // title near the start
        out = HtmlHead(rng);
        if (rng.chance(50))
            AppendScript(rng, out, out.size() + rng.between(0, std::min<std::size_t>(size, 8000)));
        out += "<" + title + ">" + Title(rng) + "</" + title + ">\n</head>\n<body>\n";
        if (rng.chance(60))
            out += Heading(rng, static_cast<int>(rng.between(1, 3)));
        AppendParagraphs(rng, out, size);
    } else if (shape < 57) { // title after 32 KB of inline script, within the examined part
        out = HtmlHead(rng) + "<script>\n";
        AppendScript(rng, out, rng.between(33'000, 95'000));
        out += "</script>\n<" + title + ">" + Title(rng) + "</" + title + ">\n</head>\n<body>\n";
        AppendParagraphs(rng, out, std::max<std::size_t>(size, out.size() + 200));
    } else if (shape < 62) { // title beyond the examined 100,000 bytes: untitled
        out = HtmlHead(rng) + "<script>\n";
        AppendScript(rng, out, rng.between(101'000, 180'000));
        out += "</script>\n<" + title + ">" + Title(rng) + "</" + title + ">\n</head>\n<body>\n";
        AppendParagraphs(rng, out, out.size() + 2000);
    } else if (shape < 77) { // only headings
        out = "<" + Tag(rng, "body") + ">\n";
        AppendParagraphs(rng, out, rng.between(0, size / 2));
        const auto headings = rng.between(1, 3);
        for (std::uint64_t i = 0; i < headings; ++i) {
            out += Heading(rng, static_cast<int>(rng.between(1, 3)));
            AppendParagraphs(rng, out, out.size() + rng.between(0, 2000));
        }
        AppendParagraphs(rng, out, size);
    } else if (shape < 82) { // an empty title, so the first heading counts
        out = HtmlHead(rng) + "<" + title + "></" + title + ">\n</head>\n<body>\n";
        out += Heading(rng, 2);
        AppendParagraphs(rng, out, size);
    } else if (shape < 85) { // a stray closing tag: no title at all
        out = HtmlHead(rng) + "</" + title + ">\n</head>\n<body>\n";
        AppendParagraphs(rng, out, size);
    } else if (shape < 93) { // markup without any title or heading tag
        out = "<" + Tag(rng, "body") + ">\n";
        AppendParagraphs(rng, out, size);
    } else { // plain text, no tags
        while (out.size() < size)
            out += Words(rng, 5, 20) + ".\n";
    }
    if (shape < 93)
        out += "</body>\n</html>\n";
    return out;
}

std::string MakeScript(Random& rng, std::size_t size)
{
    std::string out;
    out.reserve(size + 256);
    if (rng.chance(20)) // templates in scripts carry heading tags as text
        out += "var tpl=\"<h2>\"+" + std::string("title+\"</h2>\";\n");
    AppendScript(rng, out, size);
    return out;
}

std::string MakeStyle(Random& rng, std::size_t size)
{
    std::string out;
    while (out.size() < size)
        out += ".c" + std::to_string(rng.next() % 1000) +
               "{margin:" + std::to_string(rng.next() % 20) + "px;color:#" +
               std::to_string(rng.next() % 999) + "}\n";
    return out;
}

std::string MakeJson(Random& rng, std::size_t size)
{
    std::string out = "{\"items\":[";
    while (out.size() < size)
        out += "{\"id\":" + std::to_string(rng.next() % 1000000) + ",\"name\":\"" +
               Words(rng, 1, 4) + "\"},";
    out += "{}]}";
    return out;
}

void FinishBinary(Random& rng, std::string& out, std::size_t size)
{
    if (out.size() < size)
        rng.fillBytes(out, size - out.size());
}

std::string MakeJfif(Random& rng, std::size_t size)
{
    std::string out("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    FinishBinary(rng, out, std::max<std::size_t>(size, 22));
    out[out.size() - 2] = '\xFF';
    out[out.size() - 1] = '\xD9';
    return out;
}

std::string MakeExif(Random& rng, std::size_t size)
{
    std::string out("\xFF\xD8\xFF\xE1\x1C\x45"
                    "Exif\x00\x00MM\x00\x2A\x00\x00\x00\x08",
                    20);
    FinishBinary(rng, out, std::max<std::size_t>(size, 22));
    out[out.size() - 2] = '\xFF';
    out[out.size() - 1] = '\xD9';
    return out;
}

std::string MakeGif(Random& rng, std::size_t size)
{
    std::string out(rng.chance(80) ? "GIF89a" : "GIF87a");
    out += static_cast<char>(rng.between(1, 255));
    out += '\0';
    out += static_cast<char>(rng.between(1, 255));
    out += '\0';
    out += "\xF7\x00\x00";
    FinishBinary(rng, out, size);
    return out;
}

std::string MakePng(Random& rng, std::size_t size)
{
    std::string out("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR", 16);
    FinishBinary(rng, out, size);
    return out;
}

std::string MakeBinary(Random& rng, std::size_t size)
{
    std::string out;
    switch (rng.between(0, 4)) {
    case 0:
        out.assign("\x1F\x8B\x08\x00", 4); // gzip
        break;
    case 1:
        out = "wOF2"; // web font
        break;
    case 2: {
        // Readable for longer than the binary test looks, opaque after it.
        out = "\x08\x96\x01";
        while (out.size() < 240)
            out += Words(rng, 1, 1) + ";";
        break;
    }
    default:
        break;
    }
    FinishBinary(rng, out, size);
    return out;
}

enum class Kind
{
    Page,
    Script,
    Style,
    Json,
    Jfif,
    Exif,
    Gif,
    Png,
    Binary
};

struct KindShare
{
    Kind kind;
    unsigned percent;
    std::string_view extension; // written on some of the names of this kind
};

constexpr std::array<KindShare, 9> kKinds = {{
    {Kind::Page, 24, ".htm"},
    {Kind::Script, 14, ".js"},
    {Kind::Style, 5, ".css"},
    {Kind::Json, 5, ".json"},
    {Kind::Jfif, 13, ".jpg"},
    {Kind::Exif, 7, ".jpg"},
    {Kind::Gif, 9, ".gif"},
    {Kind::Png, 11, ".png"},
    {Kind::Binary, 12, ""},
}};

// The "small" mix: pages and pictures above all.
constexpr std::array<KindShare, 9> kSmallKinds = {{
    {Kind::Page, 40, ".htm"},
    {Kind::Script, 6, ".js"},
    {Kind::Style, 3, ".css"},
    {Kind::Json, 3, ".json"},
    {Kind::Jfif, 15, ".jpg"},
    {Kind::Exif, 5, ".jpg"},
    {Kind::Gif, 12, ".gif"},
    {Kind::Png, 10, ".png"},
    {Kind::Binary, 6, ""},
}};

const KindShare& DrawKind(Random& rng)
{
    const auto& kinds = gSmallMix ? kSmallKinds : kKinds;
    unsigned roll = static_cast<unsigned>(rng.next() % 100);
    for (const KindShare& k : kinds) {
        if (roll < k.percent)
            return k;
        roll -= k.percent;
    }
    return kinds.back();
}

std::string Hex(Random& rng, std::size_t digits, bool upper)
{
    const char* const set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < digits; ++i)
        out += set[rng.next() % 16];
    return out;
}

// Names as the disk caches of the common browsers write them.
std::string DrawName(Random& rng, std::string_view extension)
{
    const auto style = rng.between(0, 99);
    std::string name;
    if (style < 40)
        name = Hex(rng, 16, false) + (rng.chance(70) ? "_0" : ""); // simple-cache entries
    else if (style < 62)
        name = "f_" + Hex(rng, 6, false); // block-file externals
    else if (style < 80)
        name = Hex(rng, 40, true); // hashed entries, upper case
    else if (style < 88)
        name = Hex(rng, 8, true) + Hex(rng, 8, false); // mixed case: sorting ignores it
    else
        name = Words(rng, 1, 1) + "_" + Hex(rng, 4, false);
    // Roughly one name in six carries the extension of what it holds.
    if (!extension.empty() && rng.chance(17))
        name += extension;
    return name;
}

bool WriteFile(const std::string& path, const std::string& content, std::time_t mtime)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        return false;
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

int Usage()
{
    std::fputs("Usage: tessaloom-gen-cache FOLDER [COUNT] [SEED] [MIX]\n"
               "Writes COUNT (default 20000) synthetic browser-cache files into FOLDER,\n"
               "the same ones for the same SEED (default 1). MIX is \"mixed\" (default:\n"
               "sizes up to 500 KB) or \"small\" (mostly small pages and pictures).\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 5 || std::string_view(argv[1]) == "--help")
        return Usage();
    const std::string folder = argv[1];
    char* end = nullptr;
    const unsigned long long count = argc > 2 ? std::strtoull(argv[2], &end, 10) : 20000;
    if (argc > 2 && (*end != '\0' || count == 0))
        return Usage();
    const unsigned long long seed = argc > 3 ? std::strtoull(argv[3], &end, 10) : 1;
    if (argc > 3 && *end != '\0')
        return Usage();
    if (argc > 4) {
        const std::string_view mix = argv[4];
        if (mix != "mixed" && mix != "small")
            return Usage();
        gSmallMix = mix == "small";
    }

    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "tessaloom-gen-cache: cannot create %s: %s\n", folder.c_str(),
                     std::strerror(errno));
        return 1;
    }

    Random rng(seed);
    // A fixed start instead of "now": the same seed must give the same dates.
    constexpr std::time_t kNewest = 1'767'225'600; // 2026-01-01 00:00:00 UTC
    constexpr std::time_t kSpan = 2LL * 365 * 24 * 3600;
    std::time_t burst = kNewest - static_cast<std::time_t>(rng.next() % kSpan);

    std::unordered_set<std::string> used;
    unsigned long long totalBytes = 0;
    for (unsigned long long i = 0; i < count; ++i) {
        const KindShare& kind = DrawKind(rng);
        std::string name;
        do
            name = DrawName(rng, kind.extension);
        while (!used.insert(name).second);

        const std::size_t size = DrawSize(rng);
        std::string content;
        switch (kind.kind) {
        case Kind::Page:
            content = MakePage(rng, size);
            break;
        case Kind::Script:
            content = MakeScript(rng, size);
            break;
        case Kind::Style:
            content = MakeStyle(rng, size);
            break;
        case Kind::Json:
            content = MakeJson(rng, size);
            break;
        case Kind::Jfif:
            content = MakeJfif(rng, size);
            break;
        case Kind::Exif:
            content = MakeExif(rng, size);
            break;
        case Kind::Gif:
            content = MakeGif(rng, size);
            break;
        case Kind::Png:
            content = MakePng(rng, size);
            break;
        case Kind::Binary:
            content = MakeBinary(rng, size);
            break;
        }
        // Text generators overshoot by a line; keep within the intended size, except
        // for pages whose title placement needs their length.
        if (kind.kind != Kind::Page && content.size() > size && size > 0)
            content.resize(size);
        if (size == 0)
            content.clear(); // empty entries are common

        // A page load fetches a burst of files within seconds; bursts are spread over
        // two years, so many files share a date and some share a second.
        if (rng.chance(8))
            burst = kNewest - static_cast<std::time_t>(rng.next() % kSpan);
        const std::time_t mtime = burst + static_cast<std::time_t>(rng.between(0, 5));

        if (!WriteFile(folder + "/" + name, content, mtime)) {
            std::fprintf(stderr, "tessaloom-gen-cache: cannot write %s/%s: %s\n", folder.c_str(),
                         name.c_str(), std::strerror(errno));
            return 1;
        }
        totalBytes += content.size();
    }
    std::printf("%llu files, %llu bytes in %s\n", count, totalBytes, folder.c_str());
    return 0;
}
