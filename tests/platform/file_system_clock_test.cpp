#include "platform/clock.h"
#include "platform/file_system.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

TEST(FileReadable, OnlyFilesThatCanBeOpenedCount) {
    test_support::TempFolder folder;
    std::string file = folder.write("a file", "x");
    std::string empty = folder.write("empty", "");
    EXPECT_TRUE(vtl::platform::file_readable(file));
    EXPECT_TRUE(vtl::platform::file_readable(empty));
    EXPECT_FALSE(vtl::platform::file_readable(folder.file("missing")));
    EXPECT_FALSE(vtl::platform::file_readable(folder.path()));
}

TEST(Clock, TimeOfDayIsHoursMinutesSeconds) {
    std::string text;
    ASSERT_TRUE(vtl::platform::time_of_day_text(text));
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(text, parts, std::regex("([0-9]{2}):([0-9]{2}):([0-9]{2})")))
        << text;
    EXPECT_LT(std::stoi(parts[1]), 24);
    EXPECT_LT(std::stoi(parts[2]), 60);
    EXPECT_LE(std::stoi(parts[3]), 60);
}

TEST(Clock, TheTickAdvancesAtLeastByTheSleep) {
    std::uint32_t before = vtl::platform::tick_ms();
    vtl::platform::sleep_ms(25);
    std::uint32_t after = vtl::platform::tick_ms();
    EXPECT_GE(static_cast<std::uint32_t>(after - before), 25u);
}

} // namespace
