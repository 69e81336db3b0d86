#pragma once

#include <string_view>

namespace QuarloCliente::detail {

// The empty XML signature the service completes, as InsertFakeSignatureNode writes it into a
// document: one line, declaring its own namespace. Made once; valid until exit.
std::string_view FakeSignatureXml();

}  // namespace QuarloCliente::detail
