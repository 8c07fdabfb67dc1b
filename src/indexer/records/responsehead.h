#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::records {

/// The response head a browser kept with a cached body: the status line and the
/// header fields, whatever separated them in the record (NUL bytes for Chromium,
/// CR LF for Firefox).
class ResponseHead
{
public:
    ResponseHead() = default;
    /// Splits `raw` at NUL, CR and LF. The first non-empty line is the status line;
    /// every later line with a colon is a field. Lines without one are ignored.
    explicit ResponseHead(std::string_view raw);

    const std::string& statusLine() const { return m_status; }
    /// The value of the first field named `name` (letter case ignored), blanks and
    /// tabs trimmed; empty when there is none.
    std::string value(std::string_view name) const;
    bool empty() const { return m_status.empty() && m_fields.empty(); }

private:
    std::string m_status;
    std::vector<std::pair<std::string, std::string>> m_fields;
};

/// The media type of a Content-Type value: lower case, parameters and blanks dropped
/// ("Text/HTML; charset=utf-8" gives "text/html").
std::string MediaTypeOf(std::string_view contentType);

/// The content codings of a Content-Encoding value in the order they were applied,
/// lower case; "identity" and empty items are dropped.
std::vector<std::string> ContentCodings(std::string_view contentEncoding);

} // namespace tessaloom::records
