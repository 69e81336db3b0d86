#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace QuarloSandbox {

// The period of a book and the folio it is kept under: year, two-digit month, the book-type
// code (1 MENSUAL, 2 ESPECIAL, 3 any other) and "30", as the library asks for a book's status
// ("MENSUAL" of March 2024 is 202403130).
struct BookPeriod {
  std::string yearMonth;  // AAAA-MM
  std::string tipoLibro;
  std::int64_t code = 0;
};

// Reads a PeriodoTributario written AAAA-MM or AAAAMM; refuses (400) anything else.
BookPeriod ReadBookPeriod(std::string_view periodo, std::string_view tipoLibro);

// The folio of a day's Consumo de Folios: AAAAMMDD of an AAAA-MM-DD date.
std::int64_t DayCode(const std::string& isoDate);

}  // namespace QuarloSandbox
