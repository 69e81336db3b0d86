#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace QuarloCliente::detail {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using ByteView = std::span<const std::uint8_t>;

// A new RSA key pair of the given size (public exponent 65537); throws Error
// when OpenSSL cannot make one.
PkeyPtr GenerateRsaKey(unsigned bits);

// The private key as PEM: "RSA PRIVATE KEY" (PKCS#1, the form a CAF's RSASK carries) when
// pkcs1 is true, "PRIVATE KEY" (PKCS#8) otherwise.
std::string PrivateKeyPem(EVP_PKEY* key, bool pkcs1);
// The public key as a "PUBLIC KEY" (SubjectPublicKeyInfo) PEM.
std::string PublicKeyPem(EVP_PKEY* key);

// The RSA private key a PEM text holds (PKCS#1 or PKCS#8, never asking for a password), or
// nullptr when it holds none.
PkeyPtr ReadPrivateKeyPem(std::string_view pem);
// The RSA public key a "PUBLIC KEY" PEM text holds, or nullptr when it holds none.
PkeyPtr ReadPublicKeyPem(std::string_view pem);

// The RSA public key of a big-endian modulus and exponent, or nullptr when they make none.
PkeyPtr RsaPublicKey(ByteView modulus, ByteView exponent);

// The big-endian modulus and public exponent of an RSA key, without leading zero bytes.
std::vector<std::uint8_t> RsaModulus(EVP_PKEY* key);
std::vector<std::uint8_t> RsaExponent(EVP_PKEY* key);

// True when both keys have the same modulus and public exponent.
bool SamePublicKey(EVP_PKEY* a, EVP_PKEY* b);

// The RSA-SHA1 (PKCS#1 v1.5) signature of the data; throws Error on failure.
std::vector<std::uint8_t> SignSha1(EVP_PKEY* key, ByteView data);
// True when the signature is the key's RSA-SHA1 (PKCS#1 v1.5) signature of the data.
bool VerifySha1(EVP_PKEY* key, ByteView data, ByteView signature);

}  // namespace QuarloCliente::detail
