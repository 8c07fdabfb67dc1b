#include "platform/textcodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tessaloom {

std::string AsciiLowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

std::string AsciiUppered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

bool IEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool IStartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

bool IEndsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && IEquals(s.substr(s.size() - suffix.size()), suffix);
}

int ICompare(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int raw = a.compare(b);
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

std::size_t IFind(std::string_view hay, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return from <= hay.size() ? from : std::string_view::npos;
    if (hay.size() < needle.size())
        return std::string_view::npos;
    const char first = AsciiLower(needle[0]);
    const bool letter = first >= 'a' && first <= 'z';
    const std::size_t last = hay.size() - needle.size();
    for (std::size_t i = from; i <= last; ++i) {
        if (!letter) {
            // Only this byte value can start a match: let memchr find the candidates.
            const void* hit = std::memchr(hay.data() + i, first, last + 1 - i);
            if (hit == nullptr)
                return std::string_view::npos;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - hay.data());
        }
        if (AsciiLower(hay[i]) == first && IEquals(hay.substr(i, needle.size()), needle))
            return i;
    }
    return std::string_view::npos;
}

std::string_view TrimSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string_view TrimBlanksAndTabs(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not well formed
// (overlong forms, surrogates and values above U+10FFFF are refused).
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return 1;
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0u) != 0x80u)
            return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Windows-1252 code points for bytes 0x80..0x9F; 0 marks the five undefined bytes.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

bool IsValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            // Runs of ASCII, most of any title or name, eight bytes at a time.
            ++i;
            while (i + 8 <= s.size()) {
                std::uint64_t word = 0;
                std::memcpy(&word, s.data() + i, 8);
                if ((word & 0x8080808080808080u) != 0)
                    break;
                i += 8;
            }
            continue;
        }
        const std::size_t len = Utf8SequenceLength(s, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string Windows1252ToUtf8(unsigned char b)
{
    std::string out;
    std::uint32_t cp = b;
    if (b >= 0x80 && b <= 0x9F) {
        cp = kCp1252High[b - 0x80];
        if (cp == 0)
            cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
    return out;
}

std::string ToDisplayUtf8(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        out += Windows1252ToUtf8(static_cast<unsigned char>(c));
    return out;
}

std::size_t CharCount(std::string_view s)
{
    if (!IsValidUtf8(s))
        return s.size();
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    }));
}

std::string_view FirstChars(std::string_view s, std::size_t n)
{
    if (!IsValidUtf8(s))
        return s.substr(0, n);
    std::size_t i = 0;
    for (std::size_t count = 0; i < s.size() && count < n; ++count)
        i += Utf8SequenceLength(s, i);
    return s.substr(0, i);
}

std::string_view LastChars(std::string_view s, std::size_t n)
{
    const std::size_t total = CharCount(s);
    if (total <= n)
        return s;
    const std::string_view head = FirstChars(s, total - n);
    return s.substr(head.size());
}

} // namespace tessaloom
