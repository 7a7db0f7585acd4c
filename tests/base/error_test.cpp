// SPDX-License-Identifier: GPL-3.0-or-later
// A Result holds a value or a failure, never neither.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "base/error.h"

namespace vexo {
namespace {

// Result(Status::Ok()) is refused by the compiler.
static_assert(!std::is_constructible_v<Result<int>, OkStatus>);
static_assert(!std::is_convertible_v<OkStatus, Result<int>>);
static_assert(std::is_constructible_v<Result<int>, Status>);

TEST(Result, HoldsAValueOrAFailure)
{
    const Result<std::string> value = std::string("chip.bin");
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(*value, "chip.bin");
    EXPECT_EQ(value.message(), "");

    const Result<std::string> failure = Status::Fail("chip.bin: No space left on device", 28);
    EXPECT_FALSE(failure.ok());
    EXPECT_EQ(failure.message(), "chip.bin: No space left on device");
    EXPECT_EQ(failure.status().errnum(), 28);
}

TEST(ResultDeathTest, MadeFromASuccessStopsTheProgram)
{
    const Status success = Status::Ok();
    EXPECT_DEATH(static_cast<void>(Result<int>(success)), "a Result made from a success");
}

}  // namespace
}  // namespace vexo
