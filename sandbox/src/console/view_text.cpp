#include "console/view_text.hpp"

#include <algorithm>
#include <cctype>

#include "console/browser_input.hpp"

namespace QuarloSandbox {

std::string DocumentLink(const DocumentKey& key) {
  return "/consola/documento/" + UrlEncode(key.environment) + "/" + UrlEncode(key.rut) + "/" +
         UrlEncode(key.tipo) + "/" + std::to_string(key.folio);
}

std::string PesoAmount(const std::string& digits) {
  const bool plain = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
  if (!plain) return digits;
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back('.');
    grouped.push_back(digits[i]);
  }
  return "$" + grouped;
}

}  // namespace QuarloSandbox
