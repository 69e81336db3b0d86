#pragma once

#include <string>
#include <string_view>

#include "store/store.hpp"

namespace QuarloSandbox {

// A document type as the store keys it: a number without leading zeros ("033" is "33"), or a
// book's word in capitals ("venta" is "VENTA"). Refuses (400) an empty or odd text.
std::string CanonicalTipo(std::string_view text);

// The key a request names; every part checked (400 naming the part at fault).
DocumentKey RequestedKey(std::string_view environment, std::string_view rut, std::string_view tipo,
                         std::string_view folio);

// "E" (issued), "R" (received) or "" (either): the sandbox keeps one copy of each document and
// finds it by its issuer's RUT whatever the group; any other text is refused (400).
void RequireGroup(std::string_view group);

// The stored document, or SandboxError(404, ...) naming what was looked for.
DocumentRow RequireDocument(StoreTx& tx, const DocumentKey& key);

// "tipo 33, folio 10 del emisor 76543210-3 en el ambiente T": how descriptions name a document.
std::string Describe(const DocumentKey& key);

}  // namespace QuarloSandbox
