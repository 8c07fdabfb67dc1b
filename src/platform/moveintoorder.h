#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace tessaloom {

/// Puts `values` in a new order in place: afterwards position i holds what was at
/// `sourceOf(i)`, which must give every position once. Cycle by cycle, so that no
/// second vector as large as `values` is made.
template <typename T, typename SourceOf>
void MoveIntoOrder(std::vector<T>& values, SourceOf sourceOf)
{
    std::vector<bool> placed(values.size(), false);
    for (std::size_t start = 0; start < values.size(); ++start) {
        if (placed[start])
            continue;
        T held = std::move(values[start]);
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t from = sourceOf(at);
            if (from == start)
                break;
            // The cycle leaps about the values: the one after next is asked for
            // while this one moves.
            __builtin_prefetch(&values[sourceOf(from)]);
            values[at] = std::move(values[from]);
            at = from;
        }
        values[at] = std::move(held);
    }
}

} // namespace tessaloom
