#include "service/book_period.hpp"

#include "protocol/request.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

BookPeriod ReadBookPeriod(std::string_view periodo, std::string_view tipoLibro) {
  std::string digits(periodo);
  if (digits.size() == 7 && digits[4] == '-') digits.erase(4, 1);
  if (digits.size() != 6) {
    throw SandboxError(400,
                       "PeriodoTributario debe ser AAAA-MM, no '" + std::string(periodo) + "'");
  }
  const auto year = RequireNumber(digits.substr(0, 4), "año de PeriodoTributario", 1, 9999);
  const auto month = RequireNumber(digits.substr(4, 2), "mes de PeriodoTributario", 1, 12);
  const int typeCode = tipoLibro == "MENSUAL" ? 1 : tipoLibro == "ESPECIAL" ? 2 : 3;
  BookPeriod period;
  period.yearMonth = digits.substr(0, 4) + "-" + digits.substr(4, 2);
  period.tipoLibro = std::string(tipoLibro);
  period.code = ((year * 100 + month) * 10 + typeCode) * 100 + 30;
  return period;
}

std::int64_t DayCode(const std::string& isoDate) {
  return std::stoll(isoDate.substr(0, 4) + isoDate.substr(5, 2) + isoDate.substr(8, 2));
}

}  // namespace QuarloSandbox
