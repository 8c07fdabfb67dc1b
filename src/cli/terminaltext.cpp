#include "cli/terminaltext.h"

namespace tessaloom::cli {

namespace {

// The length of the valid UTF-8 character at `text[i]` and its code point, or 0.
std::size_t Utf8Character(std::string_view text, std::size_t i, char32_t& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool ActsOnTheTerminal(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string TerminalText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += ActsOnTheTerminal(c) ? '?' : text[i];
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = Utf8Character(text, i, codePoint);
        if (length == 0) {
            out += c <= 0x9F ? '?' : text[i];
            ++i;
        } else {
            if (ActsOnTheTerminal(codePoint))
                out += '?';
            else
                out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace tessaloom::cli
