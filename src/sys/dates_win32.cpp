#include <windows.h>

#include "sys/dates.h"

namespace tav::sys {

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  DateParts p;
  p.year = st.wYear;
  p.month = st.wMonth;
  p.day = st.wDay;
  p.hour = st.wHour;
  p.minute = st.wMinute;
  p.second = st.wSecond;
  p.millisecond = st.wMilliseconds;
  TDateTime result = 0;
  TryEncodeDateTime(p, result);
  return result;
}

}  // namespace tav::sys
