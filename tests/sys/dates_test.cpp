#include "sys/dates.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tav::sys {
namespace {

TDateTime Encode(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  TDateTime v = -1e9;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, ms}, v)) << y << "-" << mo << "-" << d;
  return v;
}

void ExpectParts(TDateTime v, int y, int mo, int d, int h, int mi, int s, int ms) {
  const DateParts p = DecodeDateTime(v);
  EXPECT_EQ(p.year, y) << v;
  EXPECT_EQ(p.month, mo) << v;
  EXPECT_EQ(p.day, d) << v;
  EXPECT_EQ(p.hour, h) << v;
  EXPECT_EQ(p.minute, mi) << v;
  EXPECT_EQ(p.second, s) << v;
  EXPECT_EQ(p.millisecond, ms) << v;
}

TEST(Dates, KnownDayCounts) {
  EXPECT_EQ(Encode(1899, 12, 30), 0);
  EXPECT_EQ(Encode(1899, 12, 31), 1);
  EXPECT_EQ(Encode(1900, 1, 1), 2);
  EXPECT_EQ(Encode(1900, 3, 1), 61);  // 1900 is no leap year
  EXPECT_EQ(Encode(1970, 1, 1), 25569);
  EXPECT_EQ(Encode(1980, 1, 1), 29221);
  EXPECT_EQ(Encode(2000, 1, 1), 36526);
  EXPECT_EQ(Encode(2000, 3, 1), 36586);  // 2000 is one
  EXPECT_EQ(Encode(2107, 12, 31), 75971);
  EXPECT_EQ(Encode(9999, 12, 31), 2958465);
  EXPECT_EQ(Encode(1, 1, 1), -693593);
  EXPECT_EQ(Encode(2000, 1, 1, 12), 36526.5);
}

TEST(Dates, BeforeTheEpochTheFractionIsStillTheTimeOfDay) {
  EXPECT_EQ(Encode(1899, 12, 29, 6), -1.25);
  EXPECT_EQ(Encode(1899, 12, 29, 18), -1.75);
  ExpectParts(-1.25, 1899, 12, 29, 6, 0, 0, 0);
  ExpectParts(-1.75, 1899, 12, 29, 18, 0, 0, 0);
  // Between -1 and 0 the day is the epoch day itself.
  ExpectParts(-0.5, 1899, 12, 30, 12, 0, 0, 0);
  ExpectParts(0.5, 1899, 12, 30, 12, 0, 0, 0);
  ExpectParts(-693593.5, 1, 1, 1, 12, 0, 0, 0);
}

TEST(Dates, EveryDayRoundTripsAndFollowsTheCalendar) {
  int y = 0, m = 0, d = 0;
  for (long day = -693593; day <= 2958465; ++day) {
    const DateParts p = DecodeDateTime(static_cast<double>(day));
    if (day > -693593) {
      // The next date of the calendar: next day, or the first of the next month or year.
      const bool nextDay = p.year == y && p.month == m && p.day == d + 1;
      const bool nextMonth = p.year == y && p.month == m + 1 && p.day == 1;
      const bool nextYear = p.year == y + 1 && p.month == 1 && p.day == 1 && m == 12 && d == 31;
      ASSERT_TRUE(nextDay || nextMonth || nextYear) << day;
    }
    TDateTime back = 0;
    ASSERT_TRUE(TryEncodeDateTime(p, back)) << day;
    ASSERT_EQ(back, day);
    y = p.year, m = p.month, d = p.day;
  }
}

TEST(Dates, ImpossibleDatesAndTimesAreRefused) {
  TDateTime v = 0;
  EXPECT_FALSE(TryEncodeDateTime({1900, 2, 29}, v));
  EXPECT_FALSE(TryEncodeDateTime({2100, 2, 29}, v));
  EXPECT_TRUE(TryEncodeDateTime({2000, 2, 29}, v));
  EXPECT_TRUE(TryEncodeDateTime({2024, 2, 29}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 4, 31}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 13, 1}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 0, 1}, v));
  EXPECT_FALSE(TryEncodeDateTime({0, 1, 1}, v));
  EXPECT_FALSE(TryEncodeDateTime({10000, 1, 1}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 1, 1, 24}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 1, 1, 0, 60}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 1, 1, 0, 0, 60}, v));
  EXPECT_FALSE(TryEncodeDateTime({2023, 1, 1, 0, 0, 0, 1000}, v));
}

TEST(Dates, TimeOfDayToTheMillisecond) {
  const TDateTime v = Encode(2023, 7, 14, 23, 59, 59, 999);
  ExpectParts(v, 2023, 7, 14, 23, 59, 59, 999);
  // Just short of midnight rounds into the next day rather than to a 24th hour.
  ExpectParts(std::nextafter(Encode(2023, 7, 15), 0.0), 2023, 7, 15, 0, 0, 0, 0);
  ExpectParts(-1.9999999999, 1899, 12, 30, 0, 0, 0, 0);
}

TEST(DosDates, PackedBoundaries) {
  EXPECT_EQ(DateTimeToDosDateTime(Encode(1980, 1, 1)), 0x00210000u);
  EXPECT_EQ(DosDateTimeToDateTime(0x00210000u), Encode(1980, 1, 1));
  const std::uint32_t last = 127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u;
  EXPECT_EQ(DateTimeToDosDateTime(Encode(2107, 12, 31, 23, 59, 58)), last);
  EXPECT_EQ(DosDateTimeToDateTime(last), Encode(2107, 12, 31, 23, 59, 58));
  EXPECT_EQ(DateTimeToDosDateTime(Encode(1979, 12, 31, 23, 59, 59)), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(Encode(2108, 1, 1)), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(-1.25), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(NAN), 0u);
}

TEST(DosDates, TwoSecondResolution) {
  // Odd seconds and milliseconds drop to the even second below.
  EXPECT_EQ(DateTimeToDosDateTime(Encode(2001, 2, 3, 4, 5, 7, 999)),
            DateTimeToDosDateTime(Encode(2001, 2, 3, 4, 5, 6)));
  EXPECT_NE(DateTimeToDosDateTime(Encode(2001, 2, 3, 4, 5, 8)),
            DateTimeToDosDateTime(Encode(2001, 2, 3, 4, 5, 6)));
  const std::uint32_t packed = DateTimeToDosDateTime(Encode(2001, 2, 3, 4, 5, 7));
  ExpectParts(DosDateTimeToDateTime(packed), 2001, 2, 3, 4, 5, 6, 0);
  EXPECT_EQ(DateTimeToDosDateTime(Encode(2024, 2, 29, 13, 14, 15)),
            44u << 25 | 2u << 21 | 29u << 16 | 13u << 11 | 14u << 5 | 7u);
}

TEST(DosDates, InvalidPackedValuesGiveZero) {
  const std::uint32_t good = 21u << 25 | 6u << 21 | 15u << 16 | 10u << 11 | 30u << 5 | 10u;
  EXPECT_NE(DosDateTimeToDateTime(good), 0);
  EXPECT_EQ(DosDateTimeToDateTime(0), 0);                                 // month and day 0
  EXPECT_EQ(DosDateTimeToDateTime((good & ~(0xFu << 21)) | 13u << 21), 0);  // month 13
  EXPECT_EQ(DosDateTimeToDateTime(good & ~(0x1Fu << 16)), 0);               // day 0
  EXPECT_EQ(DosDateTimeToDateTime((good & ~(0x1Fu << 16)) | 31u << 16), 0);  // 31 June
  EXPECT_EQ(DosDateTimeToDateTime((good & ~(0x1Fu << 11)) | 24u << 11), 0);  // hour 24
  EXPECT_EQ(DosDateTimeToDateTime((good & ~(0x3Fu << 5)) | 60u << 5), 0);    // minute 60
  EXPECT_EQ(DosDateTimeToDateTime((good & ~0x1Fu) | 30u), 0);                // second 60
  // 29 February only in leap years: 2000 (a century divisible by 400) yes, 2100 no.
  EXPECT_NE(DosDateTimeToDateTime(20u << 25 | 2u << 21 | 29u << 16), 0);
  EXPECT_EQ(DosDateTimeToDateTime(120u << 25 | 2u << 21 | 29u << 16), 0);
}

TEST(DosDates, EveryValidPackedDateRoundTrips) {
  for (std::uint32_t y = 0; y < 128; ++y) {
    for (std::uint32_t m = 1; m <= 12; ++m) {
      for (std::uint32_t d = 1; d <= 31; ++d) {
        const std::uint32_t packed = y << 25 | m << 21 | d << 16 | 23u << 11 | 59u << 5 | 29u;
        const TDateTime v = DosDateTimeToDateTime(packed);
        if (v == 0) continue;
        ASSERT_EQ(DateTimeToDosDateTime(v), packed) << y << " " << m << " " << d;
      }
    }
  }
}

}  // namespace
}  // namespace tav::sys
