#include "core/book_period.hpp"

namespace QuarloCliente::detail {

namespace {

std::string_view BookTypeCode(const std::string& tipoLibro, const std::string& mensual,
                              const std::string& especial) {
  if (tipoLibro == mensual) return "1";
  if (tipoLibro == especial) return "2";
  return "3";
}

}  // namespace

std::string BookPeriodCode(const std::string& tipoLibro, const std::string& mensual,
                           const std::string& especial, const BindingDateTime& periodo) {
  std::string month = std::to_string(periodo.Month());
  if (month.size() == 1) month.insert(0, "0");
  return std::to_string(periodo.Year()) + month +
         std::string(BookTypeCode(tipoLibro, mensual, especial)) + "30";
}

}  // namespace QuarloCliente::detail
