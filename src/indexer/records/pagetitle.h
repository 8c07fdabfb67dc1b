#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessaloom::records {

/// Decoded bytes of a page searched for its title: today's pages carry a hundred
/// kilobytes and more of inline script and style before it.
inline constexpr std::size_t kPageTitleSearchBytes = 4 * 1024 * 1024;

/// The "charset" parameter of a Content-Type value, lower case, quotes dropped;
/// empty when there is none.
std::string CharsetParameter(std::string_view contentType);

/// The character encoding a browser reads `body` in, as an iconv name: the
/// response's charset (`headerCharset`, a label such as "Shift_JIS"), else a byte
/// order mark, else a <meta> charset among the first bytes, else UTF-8 when the
/// bytes are valid UTF-8, else windows-1252. Labels are read as browsers read them
/// ("iso-8859-1" and "ascii" are windows-1252); one iconv does not know is passed
/// over.
std::string DetectPageEncoding(std::string_view headerCharset, std::string_view body);

/// `bytes` in `encoding` converted to UTF-8 with iconv; a byte sequence that is
/// not a character becomes U+FFFD. Nullopt when iconv does not know the encoding.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, const std::string& encoding);

/// Character references (named, decimal and hexadecimal) replaced by their
/// characters, in UTF-8, as a browser shows them.
std::string DecodeCharacterReferences(std::string_view text);

/// The title of a page as a browser shows it, in UTF-8: the text of the first
/// <title> outside <svg>, <script>, <style> and comments, else of the first
/// non-empty <h1> .. <h6> (tags inside dropped); tags may carry attributes.
/// References decoded, white space collapsed, cut to 87 characters and "..." when
/// longer than 90, commas replaced by blanks. Empty when the page has none.
std::string PageTitle(std::string_view body, std::string_view headerCharset);

/// True when a longer body that begins with `body` cannot have another title:
/// a non-empty <title> and its end tag are found. Lets a reader stop decoding.
bool PageTitleIsSettled(std::string_view body);

} // namespace tessaloom::records
