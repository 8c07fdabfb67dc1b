#pragma once

#include <string>
#include <string_view>

namespace tessaloom::cli {

/// `text` made harmless for a terminal: every character that a terminal acts on
/// instead of showing (C0 controls and DEL, C1 controls U+0080 to U+009F, and the
/// bidirectional overrides U+202A to U+202E and U+2066 to U+2069) becomes one "?".
/// A byte 0x80 to 0x9F that is no part of a UTF-8 character is a C1 control to an
/// 8-bit terminal and becomes "?" too; every other byte stays as it is. File and
/// folder names can hold all of these, so every name a command prints goes
/// through here.
std::string TerminalText(std::string_view text);

} // namespace tessaloom::cli
