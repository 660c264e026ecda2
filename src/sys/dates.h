#pragma once
// Dates in the day-count form: whole days since 30 December 1899, the fraction is the time of day.
#include <cstdint>

namespace tav::sys {

using TDateTime = double;

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False for an impossible date or time.
bool TryEncodeDateTime(const DateParts& parts, TDateTime& result);
DateParts DecodeDateTime(TDateTime value);

// DOS packed date (high word) and time (low word), 2-second resolution. An invalid packed value gives 0.
TDateTime DosDateTimeToDateTime(std::uint32_t dosDateTime);
// Dates outside 1980..2107 give 0.
std::uint32_t DateTimeToDosDateTime(TDateTime value);

// The current local date and time.
TDateTime Now();

}  // namespace tav::sys
