#pragma once

#include <string_view>

namespace tessaloom {

/// True when `name` matches one of the `;`-separated wildcard patterns, compared
/// without regard to ASCII letter case. `*` matches any run, `?` one character.
/// "*.*" matches every name, also one without a dot (cache files mostly have none).
/// Blanks around each pattern are ignored; an empty pattern list matches every name.
bool MatchesPattern(std::string_view name, std::string_view patterns);

/// Matches one pattern (no `;` handling).
bool MatchesSinglePattern(std::string_view name, std::string_view pattern);

} // namespace tessaloom
