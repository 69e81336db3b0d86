#pragma once

#include <string_view>

namespace QuarloCliente::detail {

// The comments the binding writes right after the XML declaration, each followed by CR LF; the
// submissions remove exactly these texts.
inline constexpr std::string_view kBindingBannerDocuments =
    "<!-- Documento generado por QuarloCliente (modelo DTE) -->";
inline constexpr std::string_view kBindingBannerBooks =
    "<!-- Documento generado por QuarloCliente (modelo de libros) -->";

}  // namespace QuarloCliente::detail
