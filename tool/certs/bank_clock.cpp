#include "bank_clock.h"

#include <mutex>

namespace brevant {
namespace {

constexpr ULONGLONG kEightHours = 8ULL * 3600 * 10000000;  // in 100-ns units

std::mutex g_lock;
std::optional<KeyDateTime> g_fixed_now;

}  // namespace

KeyDateTime BankTimeNow() {
  {
    std::lock_guard guard(g_lock);
    if (g_fixed_now) return *g_fixed_now;
  }
  FILETIME utc = {};
  GetSystemTimeAsFileTime(&utc);
  ULARGE_INTEGER ticks = {};
  ticks.LowPart = utc.dwLowDateTime;
  ticks.HighPart = utc.dwHighDateTime;
  ticks.QuadPart += kEightHours;
  const FILETIME bank = {ticks.LowPart, ticks.HighPart};
  SYSTEMTIME date = {};
  KeyDateTime now;
  if (FileTimeToSystemTime(&bank, &date)) now = ToKeyDateTime(date);
  return now;
}

KeyDateTime ToKeyDateTime(const SYSTEMTIME& date) {
  KeyDateTime t;
  t.year = date.wYear;
  t.month = date.wMonth;
  t.day_of_week = date.wDayOfWeek;
  t.day = date.wDay;
  t.hour = date.wHour;
  t.minute = date.wMinute;
  t.second = date.wSecond;
  t.milliseconds = date.wMilliseconds;
  return t;
}

void SetBankTimeForTesting(std::optional<KeyDateTime> now) {
  std::lock_guard guard(g_lock);
  g_fixed_now = now;
}

}  // namespace brevant
