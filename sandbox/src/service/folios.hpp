#pragma once

#include <cstdint>
#include <string>

#include "store/store.hpp"

namespace QuarloSandbox {

// A folio granted to a document, with the CAF that authorises it.
struct FolioGrant {
  std::int64_t folio = 0;
  CafRow caf;
};

// The folio a document takes, marked used: the one requested, when a CAF of the issuer and
// type covers it and it was never used (else 422 outside every CAF, 409 used); or, for folio
// 0, the lowest free folio of the issuer's CAFs for the type (422 when there is no CAF or no
// folio left).
FolioGrant GrantFolio(StoreTx& tx, const std::string& environment, const std::string& rut, int tipo,
                      std::int64_t requested);

}  // namespace QuarloSandbox
