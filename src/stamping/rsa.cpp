#include "stamping/rsa.hpp"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <climits>
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {
namespace {

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct BnFree {
  void operator()(BIGNUM* bn) const { BN_free(bn); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct ParamBldFree {
  void operator()(OSSL_PARAM_BLD* bld) const { OSSL_PARAM_BLD_free(bld); }
};
struct ParamFree {
  void operator()(OSSL_PARAM* params) const { OSSL_PARAM_free(params); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using BnPtr = std::unique_ptr<BIGNUM, BnFree>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;
using ParamBldPtr = std::unique_ptr<OSSL_PARAM_BLD, ParamBldFree>;
using ParamPtr = std::unique_ptr<OSSL_PARAM, ParamFree>;

// OpenSSL keeps a per-thread error queue; a failure left in it would be reported by the next,
// unrelated call on the same thread.
[[noreturn]] void Fail(const std::string& what) {
  ERR_clear_error();
  throw Error(what);
}

template <typename T>
T Cleared(T value) {
  ERR_clear_error();
  return value;
}

BioPtr ReadBio(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  return BioPtr(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

// An encrypted key must fail instead of prompting for a password on the server's terminal.
int NoPassword(char*, int, int, void*) {
  return -1;
}

bool IsRsa(EVP_PKEY* key) {
  return key != nullptr && EVP_PKEY_is_a(key, "RSA") == 1;
}

std::vector<std::uint8_t> BigNumParam(EVP_PKEY* key, const char* name) {
  BIGNUM* raw = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &raw) != 1)
    Fail("la clave RSA no tiene " + std::string(name));
  const BnPtr bn(raw);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(bn.get())));
  BN_bn2bin(bn.get(), bytes.data());
  return bytes;
}

BnPtr ToBigNum(ByteView bytes) {
  if (bytes.size() > 4096) return nullptr;
  return BnPtr(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

}  // namespace

PkeyPtr GenerateRsaKey(unsigned bits) {
  PkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<std::size_t>(bits)));
  if (!key) Fail("no se pudo generar la clave RSA");
  return key;
}

std::string PrivateKeyPem(EVP_PKEY* key, bool pkcs1) {
  const BioPtr bio(BIO_new(BIO_s_mem()));
  const int written =
      bio == nullptr ? 0
      : pkcs1 ? PEM_write_bio_PrivateKey_traditional(bio.get(), key, nullptr, nullptr, 0, nullptr,
                                                     nullptr)
              : PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
  if (written != 1) Fail("no se pudo escribir la clave privada");
  return BioText(bio.get());
}

std::string PublicKeyPem(EVP_PKEY* key) {
  const BioPtr bio(BIO_new(BIO_s_mem()));
  if (bio == nullptr || PEM_write_bio_PUBKEY(bio.get(), key) != 1) {
    Fail("no se pudo escribir la clave pública");
  }
  return BioText(bio.get());
}

PkeyPtr ReadPrivateKeyPem(std::string_view pem) {
  const BioPtr bio = ReadBio(pem);
  if (!bio) return Cleared(PkeyPtr());
  PkeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassword, nullptr));
  return Cleared(IsRsa(key.get()) ? std::move(key) : PkeyPtr());
}

PkeyPtr ReadPublicKeyPem(std::string_view pem) {
  const BioPtr bio = ReadBio(pem);
  if (!bio) return Cleared(PkeyPtr());
  PkeyPtr key(PEM_read_bio_PUBKEY(bio.get(), nullptr, NoPassword, nullptr));
  return Cleared(IsRsa(key.get()) ? std::move(key) : PkeyPtr());
}

PkeyPtr RsaPublicKey(ByteView modulus, ByteView exponent) {
  const BnPtr n = ToBigNum(modulus);
  const BnPtr e = ToBigNum(exponent);
  // An even exponent or an empty modulus is no RSA key; OpenSSL would accept it and only fail
  // later, inside a verification.
  if (!n || !e || BN_is_zero(n.get()) || !BN_is_odd(e.get()) || BN_is_one(e.get())) {
    return Cleared(PkeyPtr());
  }
  const ParamBldPtr builder(OSSL_PARAM_BLD_new());
  if (!builder || OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1) {
    return Cleared(PkeyPtr());
  }
  const ParamPtr params(OSSL_PARAM_BLD_to_param(builder.get()));
  const PkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* raw = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
    return Cleared(PkeyPtr());
  }
  return PkeyPtr(raw);
}

std::vector<std::uint8_t> RsaModulus(EVP_PKEY* key) {
  return BigNumParam(key, OSSL_PKEY_PARAM_RSA_N);
}

std::vector<std::uint8_t> RsaExponent(EVP_PKEY* key) {
  return BigNumParam(key, OSSL_PKEY_PARAM_RSA_E);
}

bool SamePublicKey(EVP_PKEY* a, EVP_PKEY* b) {
  return IsRsa(a) && IsRsa(b) && RsaModulus(a) == RsaModulus(b) && RsaExponent(a) == RsaExponent(b);
}

std::vector<std::uint8_t> SignSha1(EVP_PKEY* key, ByteView data) {
  const MdCtxPtr ctx(EVP_MD_CTX_new());
  std::size_t size = 0;
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha1(), nullptr, key) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &size, data.data(), data.size()) != 1) {
    Fail("no se pudo firmar con la clave RSA");
  }
  std::vector<std::uint8_t> signature(size);
  if (EVP_DigestSign(ctx.get(), signature.data(), &size, data.data(), data.size()) != 1) {
    Fail("no se pudo firmar con la clave RSA");
  }
  signature.resize(size);
  return signature;
}

bool VerifySha1(EVP_PKEY* key, ByteView data, ByteView signature) {
  const MdCtxPtr ctx(EVP_MD_CTX_new());
  const bool valid = ctx && key != nullptr &&
                     EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha1(), nullptr, key) == 1 &&
                     EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), data.data(),
                                      data.size()) == 1;
  return Cleared(valid);
}

}  // namespace QuarloCliente::detail
