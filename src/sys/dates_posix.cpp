#include <time.h>

#include "sys/dates.h"

namespace tav::sys {

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  if (!localtime_r(&ts.tv_sec, &local)) return 0;
  DateParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
  p.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  TDateTime result = 0;
  TryEncodeDateTime(p, result);
  return result;
}

}  // namespace tav::sys
