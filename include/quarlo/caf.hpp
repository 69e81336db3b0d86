#pragma once

#include <cstdint>
#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente {

namespace detail {
struct ArchivoCafDatos;
}  // namespace detail

/// A CAF file (an AUTORIZACION document): the folio range the SII grants an issuer for one
/// document type, the range's RSA public key and, in the emitter's copy, its private key RSASK.
/// The private key is kept inside and never appears in a text, an Error or ToString.
class QUARLO_API ArchivoCaf {
 public:
  /// The CAF in a UTF-8 text; throws Error saying why when it is not a CAF, its range is not
  /// valid or its private key does not match its public key.
  static ArchivoCaf DesdeTexto(std::string_view texto);
  /// The CAF in a file's bytes: UTF-8, or ISO-8859-1 as the SII writes it; throws as DesdeTexto.
  static ArchivoCaf DesdeBytes(const Bytes& bytes);

  ArchivoCaf(const ArchivoCaf& other);
  ArchivoCaf& operator=(const ArchivoCaf& other);
  ArchivoCaf(ArchivoCaf&& other) noexcept;
  ArchivoCaf& operator=(ArchivoCaf&& other) noexcept;
  ~ArchivoCaf();

  /// DA/RE: the issuer's RUT.
  const std::string& RutEmisor() const;
  /// DA/RS: the issuer's name.
  const std::string& RazonSocial() const;
  /// DA/TD: the document type the folios are for.
  std::int32_t TipoDte() const;
  /// DA/RNG/D: the first folio of the range.
  std::int64_t FolioDesde() const;
  /// DA/RNG/H: the last folio of the range.
  std::int64_t FolioHasta() const;
  /// True when the folio lies inside the range.
  bool IncluyeFolio(std::int64_t folio) const;
  /// DA/FA: the authorisation date, AAAA-MM-DD as written.
  const std::string& FechaAutorizacion() const;
  /// DA/IDK: the id of the authority key that signed the CAF, 0 when absent.
  std::int64_t Idk() const;
  /// DA/RSAPK/M: the public modulus in Base64.
  const std::string& ModuloBase64() const;
  /// DA/RSAPK/E: the public exponent in Base64.
  const std::string& ExponenteBase64() const;
  /// The public key as a "PUBLIC KEY" PEM.
  std::string ClavePublicaPem() const;
  /// True when the file holds the private key RSASK (needed to stamp).
  bool TieneClavePrivada() const;
  /// The CAF element written as a TED carries it: no whitespace between elements.
  const std::string& CafXml() const;
  /// True when the CAF's FRMA is the signature, by the authority public key given as PEM, of
  /// its DA; false for any key that is not an RSA public key.
  bool FirmadoPor(std::string_view clavePublicaAutoridadPem) const;
  /// A one-line description (issuer, type, range, IDK), never with the private key.
  std::string ToString() const;

  /// The library's internal data.
  const detail::ArchivoCafDatos& Datos() const { return *datos_; }

 private:
  explicit ArchivoCaf(std::unique_ptr<detail::ArchivoCafDatos> datos);
  std::unique_ptr<detail::ArchivoCafDatos> datos_;
};

}  // namespace QuarloCliente
