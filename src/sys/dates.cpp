#include "sys/dates.h"

#include <cmath>
#include <cstdint>

namespace tav::sys {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Days from 0000-03-01 (proleptic Gregorian, the start of the shifted year below) to 1899-12-30.
constexpr std::int64_t kEpochShift = 693899;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Civil date <-> day count, with years starting in March so the leap day is the last day of a year.
std::int64_t DaysFromCivil(int y, int m, int d) {
  const std::int64_t yy = m <= 2 ? y - 1 : y;
  const std::int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
  const std::int64_t yoe = yy - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - kEpochShift;
}

void CivilFromDays(std::int64_t days, int& y, int& m, int& d) {
  const std::int64_t z = days + kEpochShift;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(era * 400 + yoe + (m <= 2 ? 1 : 0));
}

}  // namespace

bool TryEncodeDateTime(const DateParts& p, TDateTime& result) {
  if (p.year < 1 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
      p.second < 0 || p.second > 59 || p.millisecond < 0 || p.millisecond > 999) {
    return false;
  }
  const auto days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day));
  const double time =
      static_cast<double>(((p.hour * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond) / kMsPerDay;
  // Before 1899-12-30 the day count is negative and the time of day still counts as a positive fraction,
  // so it is subtracted: -1.25 is 29 December 1899, 6:00.
  result = days < 0 ? days - time : days + time;
  return true;
}

DateParts DecodeDateTime(TDateTime value) {
  DateParts parts;
  if (!std::isfinite(value) || value > 2958466.0 || value < -693594.0) return parts;  // beyond 0001..9999
  auto days = static_cast<std::int64_t>(std::trunc(value));
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - std::trunc(value)) * kMsPerDay));
  if (ms >= kMsPerDay) {  // rounded up to midnight: the next day, whichever side of the epoch
    ms -= kMsPerDay;
    ++days;
  }
  CivilFromDays(days, parts.year, parts.month, parts.day);
  parts.hour = static_cast<int>(ms / 3600000);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  return parts;
}

TDateTime DosDateTimeToDateTime(std::uint32_t dos) {
  DateParts p;
  p.year = 1980 + static_cast<int>(dos >> 25);
  p.month = static_cast<int>((dos >> 21) & 0x0F);
  p.day = static_cast<int>((dos >> 16) & 0x1F);
  p.hour = static_cast<int>((dos >> 11) & 0x1F);
  p.minute = static_cast<int>((dos >> 5) & 0x3F);
  p.second = static_cast<int>(dos & 0x1F) * 2;
  TDateTime result = 0;
  return TryEncodeDateTime(p, result) ? result : 0;
}

std::uint32_t DateTimeToDosDateTime(TDateTime value) {
  const DateParts p = DecodeDateTime(value);
  if (!std::isfinite(value) || p.year < 1980 || p.year > 2107) return 0;
  // DOS time keeps even seconds; odd ones are cut like the file system's own conversion does.
  return static_cast<std::uint32_t>(p.year - 1980) << 25 | static_cast<std::uint32_t>(p.month) << 21 |
         static_cast<std::uint32_t>(p.day) << 16 | static_cast<std::uint32_t>(p.hour) << 11 |
         static_cast<std::uint32_t>(p.minute) << 5 | static_cast<std::uint32_t>(p.second / 2);
}

}  // namespace tav::sys
