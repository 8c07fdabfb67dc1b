#include "indexer/records/responsehead.h"

#include "platform/textcodec.h"

namespace tessaloom::records {

namespace {

bool IsLineBreak(char c)
{
    return c == '\0' || c == '\r' || c == '\n';
}

} // namespace

ResponseHead::ResponseHead(std::string_view raw)
{
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t end = pos;
        while (end < raw.size() && !IsLineBreak(raw[end]))
            ++end;
        const std::string_view line = raw.substr(pos, end - pos);
        pos = end + 1;
        if (TrimBlanksAndTabs(line).empty())
            continue;
        if (m_status.empty() && m_fields.empty()) {
            m_status = std::string(TrimBlanksAndTabs(line));
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            continue;
        m_fields.emplace_back(std::string(TrimBlanksAndTabs(line.substr(0, colon))),
                              std::string(TrimBlanksAndTabs(line.substr(colon + 1))));
    }
}

std::string ResponseHead::value(std::string_view name) const
{
    for (const auto& [field, value] : m_fields) {
        if (IEquals(field, name))
            return value;
    }
    return {};
}

std::string MediaTypeOf(std::string_view contentType)
{
    const std::size_t semicolon = contentType.find(';');
    return AsciiLowered(TrimBlanksAndTabs(contentType.substr(0, semicolon)));
}

std::vector<std::string> ContentCodings(std::string_view contentEncoding)
{
    std::vector<std::string> codings;
    std::size_t pos = 0;
    while (pos <= contentEncoding.size()) {
        std::size_t comma = contentEncoding.find(',', pos);
        if (comma == std::string_view::npos)
            comma = contentEncoding.size();
        std::string coding =
            AsciiLowered(TrimBlanksAndTabs(contentEncoding.substr(pos, comma - pos)));
        if (!coding.empty() && coding != "identity")
            codings.push_back(std::move(coding));
        pos = comma + 1;
    }
    return codings;
}

} // namespace tessaloom::records
