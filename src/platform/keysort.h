#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace tessaloom {

/// Sorts `items` by their 64-bit member `key`, and items of equal key by
/// `tieLess`: the order std::sort gives with "key, then tieLess". A large list is
/// sorted digit by digit (11 bits at a time, from the lowest, digits that all keys
/// share passed over), a few passes over the items instead of some twenty
/// comparisons each; then each run of equal keys by `tieLess`.
template <typename Item, typename TieLess> void SortByKey(std::vector<Item>& items, TieLess tieLess)
{
    const auto less = [&tieLess](const Item& a, const Item& b) {
        return a.key != b.key ? a.key < b.key : tieLess(a, b);
    };
    // Below this the buckets cost more than the comparisons they save.
    constexpr std::size_t kFewItems = 256;
    if (items.size() < kFewItems) {
        std::sort(items.begin(), items.end(), less);
        return;
    }
    constexpr int kDigitBits = 11;
    constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
    std::uint64_t differing = 0;
    for (const Item& item : items)
        differing |= item.key ^ items.front().key;
    std::vector<Item> spare(items.size());
    std::vector<std::size_t> starts(kDigitMask + 1);
    for (int shift = 0; shift < 64; shift += kDigitBits) {
        if (((differing >> shift) & kDigitMask) == 0)
            continue;
        std::fill(starts.begin(), starts.end(), 0);
        for (const Item& item : items)
            ++starts[(item.key >> shift) & kDigitMask];
        std::size_t at = 0;
        for (std::size_t& start : starts)
            at += std::exchange(start, at);
        // Stable: items of the same digit keep the order of the lower digits.
        for (Item& item : items)
            spare[starts[(item.key >> shift) & kDigitMask]++] = std::move(item);
        items.swap(spare);
    }
    for (auto run = items.begin(); run != items.end();) {
        const auto end = std::find_if(run + 1, items.end(),
                                      [&run](const Item& item) { return item.key != run->key; });
        if (end - run > 1)
            std::sort(run, end, tieLess);
        run = end;
    }
}

} // namespace tessaloom
