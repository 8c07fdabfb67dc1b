#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text handling for content that is kept as bytes (cached files, titles, file
// names) and only decoded when shown to the user. Letter case is folded for
// ASCII letters only: the bytes of other characters are compared as they are.
namespace tessaloom {

inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string AsciiLowered(std::string_view s);
std::string AsciiUppered(std::string_view s);

/// Equality, prefix and suffix tests without regard to ASCII letter case.
bool IEquals(std::string_view a, std::string_view b);
bool IStartsWith(std::string_view s, std::string_view prefix);
bool IEndsWith(std::string_view s, std::string_view suffix);

/// Case-insensitive three-way comparison (ASCII folding), ties broken by the raw
/// bytes so that the order is total and repeatable.
int ICompare(std::string_view a, std::string_view b);

/// First position of `needle` in `hay` at or after `from`, ASCII case ignored.
std::size_t IFind(std::string_view hay, std::string_view needle, std::size_t from = 0);

/// Removes leading and trailing blanks (code 32 only).
std::string_view TrimSpaces(std::string_view s);

/// Removes leading and trailing blanks and tabs.
std::string_view TrimBlanksAndTabs(std::string_view s);

bool IsValidUtf8(std::string_view s);

/// The UTF-8 form of byte `b` read as Windows-1252 (undefined bytes map to U+FFFD).
std::string Windows1252ToUtf8(unsigned char b);

/// Text for display: `bytes` itself when it is valid UTF-8, else read as Windows-1252.
std::string ToDisplayUtf8(std::string_view bytes);

/// Length in characters: UTF-8 code points when `s` is valid UTF-8, else bytes.
std::size_t CharCount(std::string_view s);

/// The first / last `n` characters of `s`, counted as CharCount counts them, so a
/// UTF-8 character is never split.
std::string_view FirstChars(std::string_view s, std::size_t n);
std::string_view LastChars(std::string_view s, std::size_t n);

} // namespace tessaloom
