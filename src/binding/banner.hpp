#pragma once

#include <string_view>

namespace QuarloCliente::detail {

// The comments the binding writes right after the XML declaration, each followed by CR LF, when
// Serialize is given kBindingBanner; the submissions remove exactly these texts. They stay ASCII
// because the boleta and book texts are cleaned one character per byte.
inline constexpr std::string_view kBindingBannerDocuments =
    "<!-- Documento generado por QuarloCliente (modelo DTE) -->";
inline constexpr std::string_view kBindingBannerBooks =
    "<!-- Documento generado por QuarloCliente (modelo de libros) -->";

}  // namespace QuarloCliente::detail
