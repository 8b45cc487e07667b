#include "expiry_notice.h"

#include <cstdio>

#include "text_cut.h"

namespace brevant {
namespace {

constexpr std::size_t kNoticeBytes = 260;
constexpr int kWarningDays = 30;
constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t SecondsOf(const KeyDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

std::string DatesLine(const ExpiryTexts& texts, const KeyDateTime& from, const KeyDateTime& to) {
  char line[kNoticeBytes] = {};
  std::snprintf(line, sizeof line, "\n%s:%d-%d-%d %d-%d-%d", texts.effect_time.c_str(), from.year, from.month,
                from.day, to.year, to.month, to.day);
  return line;
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
  // Shifted so that the year starts in March and the leap day comes last.
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t year_of_era = y - era * 400;
  const std::int64_t shifted_month = month > 2 ? month - 3 : month + 9;
  const std::int64_t day_of_year = (153 * shifted_month + 2) / 5 + day - 1;
  const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

std::int64_t SecondsBetween(const KeyDateTime& from, const KeyDateTime& to) { return SecondsOf(to) - SecondsOf(from); }

std::string InsertionNotice(const ExpiryTexts& texts, bool has_cert, const KeyDateTime& valid_from,
                            const KeyDateTime& valid_to, const KeyDateTime& now) {
  std::string notice = texts.key_insert;
  if (has_cert) {
    const std::int64_t days_left =
        DaysFromCivil(valid_to.year, valid_to.month, valid_to.day) - DaysFromCivil(now.year, now.month, now.day);
    const std::int64_t seconds_left = SecondsBetween(now, valid_to);
    if (SecondsBetween(valid_from, now) < 0) {
      notice += "\n" + texts.before_effect + DatesLine(texts, valid_from, valid_to);
    } else if (seconds_left < 0) {
      notice += "\n\n" + texts.after_effect;
    } else if (days_left == 0) {
      notice += "\n" + texts.today + DatesLine(texts, valid_from, valid_to);
    } else if (days_left <= kWarningDays && seconds_left < (kWarningDays + 1) * kSecondsPerDay) {
      notice += "\n" + texts.someday1 + std::to_string(days_left) + texts.someday2 +
                DatesLine(texts, valid_from, valid_to);
    }
  }
  return CutText(notice, kNoticeBytes);
}

std::size_t NoticeSlot(const KeyRecord& record) {
  for (std::size_t slot = 0; slot < kKeyRecordSlots; ++slot)
    if (!record.containers[slot].empty() && record.valid_to[slot].year != 0) return slot;
  return 0;
}

}  // namespace brevant
