#pragma once

#include <string>
#include <string_view>

#include "crypto/caf.hpp"
#include "crypto/signing_caf.hpp"
#include "stamping/ted_signing.hpp"

namespace QuarloSandbox {

// The values of a TED's DD block, as texts (RSR and IT1 cut to 40 characters when stamped).
// The sandbox stamps and verifies with the library's TED code; these name it in its terms.
using TedFields = QuarloCliente::detail::TedStampValues;

// The TED element text (UTF-8, no XML declaration): <TED version="1.0"><DD>RE TD F FE RR RSR MNT
// IT1, the CAF element, TSTED</DD><FRMT algoritmo="SHA1withRSA">...</FRMT></TED>, written
// without whitespace between elements. FRMT is the RSA-SHA1 signature, with the CAF's private
// key, of the DD element's text as it stands in the TED, encoded as ISO-8859-1 bytes.
std::string StampTed(const TedFields& fields, const SigningCaf& caf);
std::string StampTed(const TedFields& fields, const Caf& caf);

// The DD values of a TED text; throws SandboxError(400, ...) when it is not a TED.
TedFields ReadTed(std::string_view tedXml);

// True when the TED's FRMT verifies over its DD with the public key (RSAPK) of the CAF the DD
// carries. A TED whose DD is written with whitespace between elements is verified over that DD
// with the whitespace between elements removed.
bool VerifyTed(std::string_view tedXml);

}  // namespace QuarloSandbox
