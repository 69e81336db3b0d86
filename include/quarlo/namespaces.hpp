#pragma once

#include <string_view>

namespace QuarloCliente {

/// The default namespace of every request body the library sends to the service.
inline constexpr std::string_view ApiNamespace = "http://www.quarlo.cl/servicio/v1";

/// The target namespace of the SII's DTE, boleta, book and folio-report schemas.
inline constexpr std::string_view SiiDteNamespace = "http://www.sii.cl/SiiDte";

/// The W3C XML-Signature namespace.
inline constexpr std::string_view XmlDsigNamespace = "http://www.w3.org/2000/09/xmldsig#";

}  // namespace QuarloCliente
