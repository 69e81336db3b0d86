#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/schema.hpp"

// Facts of the SII schemas that the generated table must hold; a regeneration from changed or
// misread schemas shows up here.

namespace QuarloCliente::detail::schema {
namespace {

const Particle& At(RootKind root, std::initializer_list<std::string_view> path) {
  int complex = Root(root).complex_type;
  const Particle* particle = nullptr;
  for (std::string_view name : path) {
    particle = FindParticle(complex, name);
    if (particle == nullptr) throw std::runtime_error("sin " + std::string(name));
    complex = particle->complex_type;
  }
  return *particle;
}

std::vector<std::string> ChildNames(int complex) {
  std::vector<std::string> names;
  for (const Particle& particle : Particles(complex)) names.emplace_back(particle.name);
  return names;
}

TEST(SchemaTableTest, DteFormsAreOneChoiceFollowedByTheSignature) {
  const int dte = Root(RootKind::kDte).complex_type;
  EXPECT_EQ(Root(RootKind::kDte).element, "DTE");
  EXPECT_EQ(ChildNames(dte),
            (std::vector<std::string>{"Documento", "Liquidacion", "Exportaciones", "Signature"}));
  const auto particles = Particles(dte);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(particles[static_cast<std::size_t>(i)].slot, 0);
    EXPECT_EQ(particles[static_cast<std::size_t>(i)].choice_min, 1);
  }
  EXPECT_EQ(particles[3].ns, Ns::kXmlDsig);
  EXPECT_EQ(particles[3].choice_min, -1);
  EXPECT_EQ(Simple(FindAttribute(dte, "version")->simple_type).kind, Kind::kDecimal);
  EXPECT_STREQ(FindAttribute(dte, "version")->fixed, "1.0");
}

TEST(SchemaTableTest, TedHoldsItsElementsInSchemaOrder) {
  const Particle& dd = At(RootKind::kDte, {"Documento", "TED", "DD"});
  EXPECT_EQ(
      ChildNames(dd.complex_type),
      (std::vector<std::string>{"RE", "TD", "F", "FE", "RR", "RSR", "MNT", "IT1", "CAF", "TSTED"}));
  const Particle& da = At(RootKind::kDte, {"Documento", "TED", "DD", "CAF", "DA"});
  EXPECT_EQ(ChildNames(da.complex_type),
            (std::vector<std::string>{"RE", "RS", "TD", "RNG", "FA", "RSAPK", "DSAPK", "IDK"}));
  EXPECT_EQ(FindParticle(da.complex_type, "RSAPK")->slot,
            FindParticle(da.complex_type, "DSAPK")->slot);
  const Particle& frma = At(RootKind::kDte, {"Documento", "TED", "DD", "CAF", "FRMA"});
  EXPECT_EQ(Simple(kComplexTypes[frma.complex_type].content_type).kind, Kind::kBase64);
  EXPECT_STREQ(FindAttribute(frma.complex_type, "algoritmo")->fixed, "SHA1withRSA");
  const Particle& frmt = At(RootKind::kDte, {"Documento", "TED", "FRMT"});
  const SimpleType& algoritmo = Simple(FindAttribute(frmt.complex_type, "algoritmo")->simple_type);
  EXPECT_EQ(
      std::vector<std::string_view>(Enumerations(algoritmo).begin(), Enumerations(algoritmo).end()),
      (std::vector<std::string_view>{"SHA1withRSA", "SHA1withDSA"}));
}

TEST(SchemaTableTest, ValueTypesCarryTheirFacets) {
  const SimpleType& folio =
      Simple(At(RootKind::kDte, {"Documento", "Encabezado", "IdDoc", "Folio"}).simple_type);
  EXPECT_EQ(folio.kind, Kind::kInteger);
  EXPECT_EQ(folio.total_digits, 10);
  EXPECT_EQ(folio.min_inclusive, "1");
  const SimpleType& fecha =
      Simple(At(RootKind::kDte, {"Documento", "Encabezado", "IdDoc", "FchEmis"}).simple_type);
  EXPECT_EQ(fecha.kind, Kind::kDate);
  EXPECT_EQ(fecha.min_inclusive, "2000-01-01");
  EXPECT_EQ(Simple(At(RootKind::kDte, {"Documento", "TmstFirma"}).simple_type).kind,
            Kind::kDateTime);
  EXPECT_EQ(Simple(At(RootKind::kDte, {"Documento", "TED", "DD", "MNT"}).simple_type).max_inclusive,
            "18446744073709551615");
  EXPECT_EQ(
      Simple(At(RootKind::kDte, {"Exportaciones", "Encabezado", "Totales", "MntTotal"}).simple_type)
          .kind,
      Kind::kDecimal);
  EXPECT_EQ(
      Simple(At(RootKind::kDte, {"Liquidacion", "Encabezado", "Totales", "MntTotal"}).simple_type)
          .min_inclusive,
      "");
  const SimpleType& rut =
      Simple(At(RootKind::kDte, {"Documento", "Encabezado", "Emisor", "RUTEmisor"}).simple_type);
  EXPECT_EQ(rut.pattern, "[0-9]+-([0-9]|K)");
  EXPECT_EQ(rut.max_length, 10);
  EXPECT_EQ(
      Simple(At(RootKind::kLibroGuia, {"EnvioLibro", "Caratula", "PeriodoTributario"}).simple_type)
          .kind,
      Kind::kYearMonth);
  const Particle& detalle = At(RootKind::kDte, {"Documento", "Detalle"});
  EXPECT_EQ(detalle.min_occurs, 1);
  EXPECT_EQ(detalle.max_occurs, 60);
  EXPECT_EQ(At(RootKind::kBoleta, {"Documento", "Detalle"}).max_occurs, 1000);
  EXPECT_EQ(At(RootKind::kConsumoFolios, {"DocumentoConsumoFolios", "Resumen"}).max_occurs, 3);
  EXPECT_EQ(At(RootKind::kLibroGuia, {"EnvioLibro", "Detalle"}).max_occurs, kUnbounded);
}

TEST(SchemaTableTest, BooksPlaceCertificatesAndSignaturesInTheirNamespaces) {
  const int envio = At(RootKind::kLibroCompraVenta, {"EnvioLibro"}).complex_type;
  const Particle& cal = *FindParticle(envio, "LceCal");
  const Particle& cocertif = *FindParticle(envio, "LceCoCertif");
  EXPECT_EQ(cal.ns, Ns::kSiiLce);
  EXPECT_EQ(cocertif.ns, Ns::kSiiLce);
  EXPECT_EQ(cal.slot, cocertif.slot);
  EXPECT_EQ(cal.choice_min, 0);
  EXPECT_GT(cal.slot, FindParticle(envio, "Detalle")->slot);
  EXPECT_LT(cal.slot, FindParticle(envio, "TmstFirma")->slot);
  EXPECT_EQ(
      At(RootKind::kLibroCompraVenta, {"EnvioLibro", "LceCoCertif", "DocumentoCoCertif", "LceCal"})
          .ns,
      Ns::kSiiLce);
  EXPECT_EQ(At(RootKind::kLibroCompraVenta, {"EnvioLibro", "LceCal", "Signature"}).ns,
            Ns::kXmlDsig);
  EXPECT_EQ(At(RootKind::kLibroCompraVenta, {"Signature"}).ns, Ns::kXmlDsig);
  EXPECT_EQ(At(RootKind::kLibroBoleta, {"Signature"}).ns, Ns::kSiiDte);
  EXPECT_EQ(ChildNames(At(RootKind::kLibroCompraVenta, {"EnvioLibro", "Caratula"}).complex_type),
            (std::vector<std::string>{"RutEmisorLibro", "RutEnvia", "PeriodoTributario", "FchResol",
                                      "NroResol", "TipoOperacion", "TipoLibro", "TipoEnvio",
                                      "NroSegmento", "FolioNotificacion", "CodAutRec"}));
  EXPECT_EQ(NamespaceUri(Ns::kSiiLce), "http://www.sii.cl/SiiLce");
}

}  // namespace
}  // namespace QuarloCliente::detail::schema
