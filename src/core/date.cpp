#include <chrono>
#include <cstdio>
#include <ctime>
#include <quarlo/error.hpp>
#include <quarlo/types.hpp>

namespace QuarloCliente {

namespace {

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

void AppendPadded(std::string& out, int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  out += buffer;
}

}  // namespace

Date MakeDate(int year, int month, int day, int hour, int minute, int second) {
  using namespace std::chrono;
  const year_month_day ymd{std::chrono::year{year},
                           std::chrono::month{static_cast<unsigned>(month)},
                           std::chrono::day{static_cast<unsigned>(day)}};
  if (!InRange(month, 1, 12) || !InRange(day, 1, 31) || !ymd.ok() || !InRange(hour, 0, 23) ||
      !InRange(minute, 0, 59) || !InRange(second, 0, 59)) {
    throw Error("la fecha u hora no es válida");
  }
  return local_days{ymd} + hours{hour} + minutes{minute} + seconds{second};
}

DateParts SplitDate(Date date) {
  using namespace std::chrono;
  const auto day_start = floor<days>(date);
  const year_month_day ymd{day_start};
  const hh_mm_ss time{date - day_start};
  return DateParts{static_cast<int>(ymd.year()),
                   static_cast<int>(static_cast<unsigned>(ymd.month())),
                   static_cast<int>(static_cast<unsigned>(ymd.day())),
                   static_cast<int>(time.hours().count()),
                   static_cast<int>(time.minutes().count()),
                   static_cast<int>(time.seconds().count())};
}

std::string FormatDate(Date date, std::string_view pattern) {
  const DateParts parts = SplitDate(date);
  struct Field {
    std::string_view token;
    int value;
  };
  const Field fields[] = {{"yyyy", parts.year}, {"MM", parts.month},  {"dd", parts.day},
                          {"HH", parts.hour},   {"mm", parts.minute}, {"ss", parts.second}};
  std::string out;
  for (std::size_t i = 0; i < pattern.size();) {
    bool matched = false;
    for (const Field& field : fields) {
      if (pattern.substr(i, field.token.size()) == field.token) {
        AppendPadded(out, field.value, static_cast<int>(field.token.size()));
        i += field.token.size();
        matched = true;
        break;
      }
    }
    if (!matched) out += pattern[i++];
  }
  return out;
}

Date Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec == 60 ? 59 : local.tm_sec);
}

}  // namespace QuarloCliente
