#include <gtest/gtest.h>

#include <quarlo/caf.hpp>
#include <quarlo/error.hpp>
#include <quarlo/timbre.hpp>
#include <string>

#include "core/charset.hpp"
#include "sii_schemas.hpp"

namespace QuarloCliente {
namespace {

std::string Data(const std::string& name) {
  return testing::ReadTestData("ted/" + name);
}

Bytes DataBytes(const std::string& name) {
  const std::string raw = Data(name);
  return Bytes(raw.begin(), raw.end());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The message of the Error that reading the CAF throws, "" when it reads.
std::string CafRefusal(const std::string& utf8) {
  try {
    ArchivoCaf::DesdeTexto(utf8);
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

// The file's text, with its RSASK element's content.
std::string Rsask(const std::string& cafText) {
  const std::size_t begin = cafText.find("<RSASK>") + 7;
  return cafText.substr(begin, cafText.find("</RSASK>") - begin);
}

// The document's TED, cut from its XML.
std::string TedOf(const BindingDocument& document) {
  const std::string xml = document.ToXml(DefaultBindingContext(), false);
  const std::size_t begin = xml.find("<TED");
  return xml.substr(begin, xml.find("</TED>") + 6 - begin);
}

std::shared_ptr<DteDocumentBinding> Factura() {
  auto factura = std::make_shared<DteDocumentBinding>();
  factura->Load(testing::ReadTestData("factura_33.xml"), DefaultBindingContext());
  return factura;
}

const BindingDateTime kMomento = BindingDateTime::FromDateTime(2024, 5, 2, 10, 15, 32);

TEST(ArchivoCafTest, ReadsTheFormsTheSiiHandsOutAndRefusesBrokenOnesSayingWhy) {
  const std::string authority = Data("authority_public.pem");
  // ISO-8859-1 with LF, and ISO-8859-1 with CRLF; both with a 64-column RSASK PEM.
  const ArchivoCaf boletas = ArchivoCaf::DesdeBytes(DataBytes("caf_39.xml"));
  EXPECT_EQ(boletas.RutEmisor(), "76981442-6");
  EXPECT_EQ(boletas.RazonSocial(), "PANADERÍA Y AMASANDERÍA PEÑALOLÉN SPA");
  EXPECT_EQ(boletas.TipoDte(), 39);
  EXPECT_EQ(boletas.FolioDesde(), 4001);
  EXPECT_EQ(boletas.FolioHasta(), 5000);
  EXPECT_TRUE(boletas.IncluyeFolio(5000));
  EXPECT_FALSE(boletas.IncluyeFolio(4000));
  EXPECT_EQ(boletas.Idk(), 100);
  EXPECT_TRUE(boletas.TieneClavePrivada());
  EXPECT_TRUE(boletas.FirmadoPor(authority));
  EXPECT_FALSE(boletas.FirmadoPor(boletas.ClavePublicaPem())) << "its own key did not sign it";
  EXPECT_FALSE(boletas.FirmadoPor("no es PEM"));
  const ArchivoCaf facturas = ArchivoCaf::DesdeBytes(DataBytes("caf_33.xml"));
  EXPECT_EQ(facturas.RazonSocial(), "COMERCIALIZADORA ÑUÑOA LTDA");
  EXPECT_EQ(facturas.TipoDte(), 33);
  EXPECT_TRUE(facturas.FirmadoPor(authority));
  EXPECT_EQ(facturas.CafXml().find_first_of("\r\n"), std::string::npos) << facturas.CafXml();
  EXPECT_EQ(facturas.CafXml().rfind("<CAF version=\"1.0\"><DA><RE>76543210-3</RE>", 0), 0U);
  EXPECT_NE(facturas.ClavePublicaPem().find("BEGIN PUBLIC KEY"), std::string::npos);

  // The same bytes under a declaration that names their encoding, or one the library refuses.
  Bytes declared = DataBytes("caf_39.xml");
  const std::string windows = R"(<?xml version="1.0" encoding="windows-1252"?>)";
  declared.erase(declared.begin(), declared.begin() + 21);
  declared.insert(declared.begin(), windows.begin(), windows.end());
  EXPECT_EQ(ArchivoCaf::DesdeBytes(declared).RazonSocial(), boletas.RazonSocial());
  const std::string utf16 = R"(<?xml version="1.0" encoding="UTF-16"?>)";
  declared.erase(declared.begin(), declared.begin() + static_cast<long>(windows.size()));
  declared.insert(declared.begin(), utf16.begin(), utf16.end());
  try {
    ArchivoCaf::DesdeBytes(declared);
    ADD_FAILURE() << "a CAF declared UTF-16 holding Latin-1 bytes was read";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("UTF-16"), std::string::npos) << e.what();
  }

  const std::string text33 = detail::Latin1ToUtf8(DataBytes("caf_33.xml"));
  const std::string text39 = detail::Latin1ToUtf8(DataBytes("caf_39.xml"));
  EXPECT_EQ(ArchivoCaf::DesdeTexto(text33).RazonSocial(), facturas.RazonSocial());
  const std::string secret = Rsask(text39).substr(40, 40);
  EXPECT_EQ(boletas.ToString().find(secret), std::string::npos);

  EXPECT_NE(CafRefusal("<EnvioDTE/>").find("no es un documento AUTORIZACION"), std::string::npos);
  EXPECT_NE(CafRefusal("no es XML").find("no es un documento XML"), std::string::npos);
  EXPECT_NE(CafRefusal(text39 + std::string(300 * 1024, ' ')).find("tamaño"), std::string::npos);
  EXPECT_NE(CafRefusal(Replaced(text39, "<H>5000</H>", "<H>4000</H>")).find("invertido"),
            std::string::npos);
  const std::string swapped = Replaced(text39, Rsask(text39), Rsask(text33));
  const std::string mismatch = CafRefusal(swapped);
  EXPECT_NE(mismatch.find("RSASK no corresponde"), std::string::npos) << mismatch;
  EXPECT_EQ(mismatch.find(secret), std::string::npos);
  EXPECT_EQ(mismatch.find(Rsask(text33).substr(40, 40)), std::string::npos);
  const std::string withoutKey = Replaced(text39, "<RSASK>" + Rsask(text39) + "</RSASK>", "");
  EXPECT_FALSE(ArchivoCaf::DesdeTexto(withoutKey).TieneClavePrivada());
  EXPECT_NE(CafRefusal(Replaced(text39, "<RSASK>", "<RSASK>x")).find("no es una clave RSA"),
            std::string::npos);
}

TEST(VerificarTimbreTest, SandboxStampsVerifyAndEachTamperingNamesItsCheck) {
  const std::string authority = Data("authority_public.pem");
  const std::string boleta = Data("ted_39.xml");
  const std::string indented = Data("ted_33.xml");
  for (const std::string& ted : {boleta, indented}) {
    const auto result = VerificarTimbre(ted, authority);
    EXPECT_TRUE(result.Valido) << result.Motivo;
    EXPECT_TRUE(VerificarTimbre(ted).Valido);
  }
  const auto factura = Factura();
  EXPECT_TRUE(VerificarTimbreDte(indented, *factura, authority).Valido);

  const auto reason = [&](const std::string& ted) {
    const auto result = VerificarTimbre(ted, authority);
    EXPECT_FALSE(result.Valido) << ted;
    return result.Motivo;
  };
  EXPECT_NE(reason(Replaced(boleta, "<MNT>21225", "<MNT>21226")).find("FRMT"), std::string::npos);
  const std::size_t frmt = boleta.find('>', boleta.find("<FRMT")) + 3;
  std::string badFrmt = boleta;
  badFrmt[frmt] = badFrmt[frmt] == 'A' ? 'B' : 'A';
  EXPECT_NE(reason(badFrmt).find("FRMT no corresponde"), std::string::npos);
  EXPECT_NE(reason(Replaced(boleta, "<D>4001</D>", "<D>4002</D>")).find("FRMA"), std::string::npos);
  // Without the authority's key a changed CAF still breaks FRMT, which covers all of DD.
  EXPECT_FALSE(VerificarTimbre(Replaced(boleta, "<D>4001</D>", "<D>4002</D>")).Valido);
  EXPECT_NE(reason("<TED version=\"1.0\"/>").find("DD"), std::string::npos);
  EXPECT_NE(reason("<DTE/>").find("no es un elemento TED"), std::string::npos);
  EXPECT_NE(reason(boleta + std::string(70 * 1024, ' ')).find("tamaño"), std::string::npos);
  EXPECT_NE(reason("<!DOCTYPE TED [<!ENTITY x \"1\">]><TED><DD>&x;</DD></TED>").find("XML"),
            std::string::npos);

  factura->Documento()->Encabezado()->Totales()->SetMntTotal(BindingInteger(1));
  const auto otherAmount = VerificarTimbreDte(indented, *factura, authority);
  EXPECT_FALSE(otherAmount.Valido);
  EXPECT_NE(otherAmount.Motivo.find("MNT"), std::string::npos) << otherAmount.Motivo;
}

TEST(TimbrarTest, StampsAsTheSandboxDidAndRefusalsLeaveTheDocumentAlone) {
  const ArchivoCaf caf = ArchivoCaf::DesdeBytes(DataBytes("caf_33.xml"));
  const auto factura = Factura();
  const std::string ted = TimbrarDte(*factura, caf, kMomento);
  // RSA PKCS#1 v1.5 signatures are deterministic: the same DD signs to the same FRMT.
  std::string compact = Data("ted_33.xml");
  std::erase(compact, '\n');
  for (std::size_t at; (at = compact.find("  ")) != std::string::npos;) compact.erase(at, 1);
  for (std::size_t at; (at = compact.find("> <")) != std::string::npos;) compact.erase(at + 1, 1);
  EXPECT_EQ(ted, compact);
  EXPECT_TRUE(VerificarTimbreDte(ted, *factura).Valido);
  const auto inDocument = VerificarTimbreDte(TedOf(*factura), *factura);
  EXPECT_TRUE(inDocument.Valido) << inDocument.Motivo << TedOf(*factura);
  EXPECT_EQ(factura->Documento()->TmstFirma().Format("s"), "2024-05-02T10:15:32");

  const auto refusal = [&](const std::shared_ptr<DteDocumentBinding>& document,
                           const ArchivoCaf& with) {
    const std::string before = document->ToXml(DefaultBindingContext());
    std::string message;
    try {
      TimbrarDte(*document, with, kMomento);
    } catch (const Error& error) {
      message = error.what();
    }
    EXPECT_EQ(document->ToXml(DefaultBindingContext()), before);
    return message;
  };
  const auto outOfRange = Factura();
  outOfRange->Documento()->Encabezado()->IdDoc()->SetFolio(1601);
  EXPECT_NE(refusal(outOfRange, caf).find("fuera del rango"), std::string::npos);
  const auto otherType = Factura();
  otherType->Documento()->Encabezado()->IdDoc()->SetTipoDTE(
      TipoDTEDocumento::FacturaNoAfectaOExenta);
  EXPECT_NE(refusal(otherType, caf).find("tipo de documento"), std::string::npos);
  const auto otherIssuer = Factura();
  otherIssuer->Documento()->Encabezado()->Emisor()->SetRUTEmisor("11111111-1");
  EXPECT_NE(refusal(otherIssuer, caf).find("RUT emisor"), std::string::npos);
  const std::string text = detail::Latin1ToUtf8(DataBytes("caf_33.xml"));
  const ArchivoCaf publicOnly =
      ArchivoCaf::DesdeTexto(Replaced(text, "<RSASK>" + Rsask(text) + "</RSASK>", ""));
  EXPECT_NE(refusal(Factura(), publicOnly).find("clave privada"), std::string::npos);
}

}  // namespace
}  // namespace QuarloCliente
