#include "platform/keysort.h"

#include <gtest/gtest.h>

#include <random>

namespace tessaloom {
namespace {

struct Item
{
    std::uint64_t key;
    int tie;
    int place;
    bool operator==(const Item&) const = default;
};

// Against std::sort by key then tie, for lists on both sides of the size where
// the digit passes begin, with keys that differ in low bits, in high bits only,
// in every bit, or not at all, and with many equal keys.
TEST(SortByKey, SameOrderAsComparing)
{
    struct Spread
    {
        const char* name;
        std::uint64_t mask;
        int shift;
    };
    const Spread spreads[] = {{"low", 0xFF, 0},
                              {"high", 0x7, 61},
                              {"all", ~std::uint64_t{0}, 0},
                              {"one", 0, 0},
                              {"middle", 0xFFFFF, 30}};
    std::mt19937_64 random(11);
    for (const Spread& spread : spreads) {
        for (const std::size_t size : {0, 1, 2, 255, 256, 257, 5000}) {
            SCOPED_TRACE(std::string(spread.name) + " " + std::to_string(size));
            std::vector<Item> items;
            for (std::size_t i = 0; i < size; ++i)
                items.push_back({(random() & spread.mask) << spread.shift,
                                 static_cast<int>(random() % 7), static_cast<int>(i)});
            const auto tieLess = [](const Item& a, const Item& b) {
                return a.tie != b.tie ? a.tie < b.tie : a.place < b.place;
            };
            std::vector<Item> expected = items;
            std::sort(expected.begin(), expected.end(), [&](const Item& a, const Item& b) {
                return a.key != b.key ? a.key < b.key : tieLess(a, b);
            });
            SortByKey(items, tieLess);
            EXPECT_EQ(items, expected);
        }
    }
}

} // namespace
} // namespace tessaloom
