#pragma once

#include <quarlo/binding_values.hpp>
#include <string>

namespace QuarloCliente::detail {

// The identifier under which the service keeps a month's book: the year, the month in two
// digits, the book-type code ("1" when tipoLibro equals mensual, "2" when it equals especial,
// "3" otherwise; exact comparisons) and "30". A monthly book of March 2024 is 202403130.
std::string BookPeriodCode(const std::string& tipoLibro, const std::string& mensual,
                           const std::string& especial, const BindingDateTime& periodo);

}  // namespace QuarloCliente::detail
