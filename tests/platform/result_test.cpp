#include "platform/result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <type_traits>

namespace tessaloom {
namespace {

static_assert(std::is_nothrow_move_constructible_v<Result<std::string>>);
static_assert(!std::is_convertible_v<Result<int>, bool>); // only an explicit test

TEST(Result, CarriesAValueOrTheErrorThatKeptIt)
{
    // A move-only value travels out without a copy.
    Result<std::unique_ptr<int>> made(std::make_unique<int>(7));
    ASSERT_TRUE(made.ok());
    const std::unique_ptr<int> taken = std::move(made).value();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(*taken, 7);

    const Result<std::unique_ptr<int>> failed = SystemError(ENOENT, "Cannot open /x");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error().code, ENOENT);
    EXPECT_EQ(failed.error().message, std::string("Cannot open /x: ") + std::strerror(ENOENT));
    EXPECT_THROW((void)failed.value(), std::bad_variant_access);

    const Result<void> done;
    EXPECT_TRUE(done.ok());
    EXPECT_THROW((void)done.error(), std::bad_optional_access);
    const Result<void> refused = Error{kNotRegularFile, "x: not a regular file"};
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, kNotRegularFile);
    EXPECT_EQ(refused.error().message, "x: not a regular file");
}

} // namespace
} // namespace tessaloom
