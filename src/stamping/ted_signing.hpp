#pragma once

#include <openssl/evp.h>

#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// The values a TED's DD carries besides its CAF, as texts.
struct TedStampValues {
  std::string re, td, f, fe, rr, rsr, mnt, it1, tsted;
};

// The TED text (no declaration, no whitespace between elements): DD of the values (reduced to
// what ISO-8859-1 carries, RSR and IT1 cut to 40 characters) and the compact CAF element, and
// FRMT, the SHA1withRSA signature of DD's ISO-8859-1 bytes with the private key. Throws Error
// when OpenSSL cannot sign.
std::string SignTed(const TedStampValues& values, std::string_view compactCaf, EVP_PKEY* key);

// The DD values of a TED text, parsed with the safe parser; throws Error when it is not a TED
// with DD.
TedStampValues ReadTedStamp(std::string_view ted);

}  // namespace QuarloCliente::detail
