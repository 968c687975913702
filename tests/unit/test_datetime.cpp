#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/DateTime.h"
#include "platform/Locale.h"
#include "platform/TextCodec.h"

using platform::LocalTime;

TEST(DateTime, DaysCountFrom1899December30) {
    EXPECT_EQ(platform::daysFromEpoch(1899, 12, 30), 0);
    EXPECT_EQ(platform::daysFromEpoch(1900, 1, 1), 2);
    EXPECT_EQ(platform::daysFromEpoch(2000, 1, 1), 36526);
    EXPECT_EQ(platform::daysFromEpoch(2026, 12, 8), 46364);
    EXPECT_EQ(platform::dayOfWeek(2026, 12, 8), 2); // a Tuesday
    EXPECT_EQ(platform::dayOfWeek(1899, 12, 30), 6);

    LocalTime t{2024, 2, 29, 13, 45, 30, 250};
    const LocalTime back = platform::decodeDateTime(platform::encodeDateTime(t));
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.hour, 13);
    EXPECT_EQ(back.minute, 45);
    EXPECT_EQ(back.second, 30);
    EXPECT_EQ(back.millisecond, 250);
}

TEST(Locale, DateTimeTextLeavesOutMidnight) {
    EXPECT_EQ(platform::dateTimeText({2026, 1, 5, 0, 0, 0, 900}), "2026/01/05");
    EXPECT_EQ(platform::dateTimeText({2026, 1, 5, 0, 0, 1, 0}), "2026/01/05 0:00:01");
    EXPECT_EQ(platform::dateTimeText({2026, 12, 31, 23, 5, 9, 0}), "2026/12/31 23:05:09");
}

TEST(Locale, TimeParsingAcceptsHoursMinutesAndOptionalSeconds) {
    EXPECT_DOUBLE_EQ(*platform::parseTime("7:30:00"), 7.5 / 24);
    EXPECT_DOUBLE_EQ(*platform::parseTime("07:30"), 7.5 / 24);
    EXPECT_DOUBLE_EQ(*platform::parseTime(" 23:59:59 "), 86399.0 / 86400);
    EXPECT_DOUBLE_EQ(*platform::parseTime("0:00:00"), 0.0);
    for (const char* bad :
         {"", "7", "24:00", "7:60", "7:30:60", "7:30:", "a:b", "7:30 x", "-1:00"}) {
        EXPECT_FALSE(platform::parseTime(bad)) << bad;
    }
    EXPECT_EQ(platform::timeText(7.5 / 24), "7:30:00");
}

TEST(TextCodec, Cp932BothWaysWithReplacement) {
    EXPECT_EQ(platform::toCp932("ＭＳ 明朝～"), "\x82\x6c\x82\x72 \x96\xbe\x92\xa9\x81\x60");
    EXPECT_EQ(platform::fromCp932("\x82\x6c\x82\x72 \x96\xbe\x92\xa9\x81\x60"), "ＭＳ 明朝～");
    EXPECT_EQ(platform::toCp932("a😀b"), "a?b"); // no such character in CP932
    EXPECT_EQ(platform::toCp932("a\xff"
                                "b"),
              "a?b");                              // broken UTF-8
    EXPECT_EQ(platform::fromCp932("a\x82"), "a?"); // a lead byte cut off at the end
    EXPECT_EQ(platform::fromCp932("\xa0z"), "?z");
}

// The settings are saved from an exit handler, after the thread's own objects are gone: a
// conversion made that late must still work, with a converter of its own.
TEST(TextCodec, ConvertsAfterTheThreadsObjectsAreDestroyed) {
    struct LateSaver {
        std::string* out = nullptr;
        ~LateSaver() {
            if (out) {
                *out = platform::toCp932("日本") + platform::fromCp932("\x93\xfa");
            }
        }
    };
    std::string late;
    std::thread([&late] {
        // Made before the codec's cache, so destroyed after it.
        thread_local LateSaver saver;
        saver.out = &late;
        EXPECT_EQ(platform::toCp932("明"), "\x96\xbe");
        EXPECT_EQ(platform::fromCp932("\x96\xbe"), "明");
    }).join();
    EXPECT_EQ(late, "\x93\xfa\x96\x7b日");
}
