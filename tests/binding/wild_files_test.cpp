#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <ostream>
#include <quarlo/binding.hpp>
#include <quarlo/binding_envio.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <string_view>

#include "support/sii_schemas.hpp"

namespace QuarloCliente {
namespace {

using testing::ReadTestData;
using testing::SchemaResult;
using testing::SiiRoot;
using testing::ValidateSiiDocument;

std::string ReadWild(std::string_view file) {
  return ReadTestData("wild/" + std::string(file));
}

Bytes AsBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The TED as written in `xml`, whatever prefix the SiiDte namespace has there; "" when absent.
std::string TedOf(const std::string& xml) {
  const std::size_t open = xml.find("TED version=");
  if (open == std::string::npos) return "";
  const std::size_t start = xml.rfind('<', open);
  const std::string closing = "</" + xml.substr(start + 1, open - start - 1) + "TED>";
  const std::size_t end = xml.find(closing, open);
  return end == std::string::npos ? "" : xml.substr(start, end + closing.size() - start);
}

struct WildDte {
  const char* file;
  // The issuer's name and the first item's name, as UTF-8, after loading.
  const char* rzn_soc;
  const char* nmb_item;
  // One more value the file's form puts at risk, by its path under Documento.
  const char* path;
  const char* value;
};

void PrintTo(const WildDte& wild, std::ostream* out) {
  *out << wild.file;
}

class WildDteTest : public ::testing::TestWithParam<WildDte> {
 protected:
  std::shared_ptr<DteDocumentBinding> LoadText(const std::string& text) {
    auto dte = std::make_shared<DteDocumentBinding>();
    dte->Load(text, DefaultBindingContext());
    return dte;
  }

  void ExpectValues(const DteDocumentBinding& dte) {
    const auto documento = dte.Documento();
    ASSERT_NE(documento, nullptr);
    EXPECT_EQ(documento->Get("Encabezado/Emisor/RznSoc"), GetParam().rzn_soc);
    EXPECT_EQ(documento->Get("Detalle/NmbItem"), GetParam().nmb_item);
    EXPECT_EQ(documento->Get(GetParam().path), GetParam().value);
  }

  Servicio servicio_;
};

TEST_P(WildDteTest, LoadsStrictlyMatchesItsTedRoundTripsAndValidates) {
  const std::string raw = ReadWild(GetParam().file);

  const auto from_text = LoadText(raw);
  ExpectValues(*from_text);
  auto from_bytes = std::make_shared<DteDocumentBinding>();
  from_bytes->Load(AsBytes(raw), DefaultBindingContext());
  ExpectValues(*from_bytes);

  const std::string written = from_text->ToXml(DefaultBindingContext());
  EXPECT_EQ(from_bytes->ToXml(DefaultBindingContext()), written);
  const std::string ted = TedOf(written);
  ASSERT_NE(ted, "") << written;
  EXPECT_EQ(servicio_.ValidarTEDParaDTE(from_text, ted), nullptr);

  const std::string rewritten = LoadText(written)->ToXml(DefaultBindingContext());
  EXPECT_EQ(rewritten, written);

  const SchemaResult result = ValidateSiiDocument(written, SiiRoot::Dte);
  EXPECT_TRUE(result.valid) << result.errors;
}

INSTANTIATE_TEST_SUITE_P(
    Files, WildDteTest,
    ::testing::Values(
        WildDte{"dte_33_iso_8859_1.xml", "Distribuidora Larraín y Compañía Limitada",
                "Resma papel carta 75 g", "Encabezado/Emisor/DirOrigen",
                "Av. Irarrázaval N° 123, oficina 4"},
        WildDte{"dte_33_windows_1252.xml", "Servicios Informáticos Torres del Paine SpA",
                "Licencia “Gestor Cultural” – anual € 480", "Detalle/DscItem",
                "Plan ‘Museo’ – hasta 5 usuarios"},
        WildDte{"dte_61_single_quoted.xml", "Distribuidora Larraín y Compañía Limitada",
                "Resma papel carta 75 g", "Referencia/RazonRef", "Devolución de 2 resmas dañadas"},
        WildDte{"dte_34_comment_crlf_tabs.xml", "Corporación Educacional San Ñuñoa",
                "Curso de capacitación en ofimática", "Encabezado/Totales/MntExe", "240000"},
        WildDte{"dte_33_wrapped_signature.xml", "Servicios Informáticos Torres del Paine SpA",
                "Mantención de servidores julio", "Encabezado/Receptor/CmnaRecep", "Ñuñoa"},
        WildDte{"dte_33_empty_elements.xml", "Distribuidora Larraín y Compañía Limitada",
                "Tóner láser negro", "Detalle[2]/DscItem", ""},
        WildDte{"dte_33_without_namespace.xml", "Distribuidora Larraín y Compañía Limitada",
                "Cuaderno universitario 100 hojas", "Encabezado/Receptor/RznSocRecep",
                "Fundación Quinta Normal"}),
    [](const ::testing::TestParamInfo<WildDte>& param_info) {
      const std::string name(param_info.param.file);
      return name.substr(0, name.find('.'));
    });

TEST(WildEnvelopeTest, EnvioDteGivesItsThreeSignedDocumentsWithMatchingTeds) {
  const std::string raw = ReadWild("envio_dte_iso_8859_1.xml");
  Servicio servicio;
  for (const auto& envio : {LeerEnvioDte(raw), LeerEnvioDte(AsBytes(raw))}) {
    ASSERT_NE(envio, nullptr);
    EXPECT_EQ(envio->ID, "SetDoc");
    EXPECT_EQ(envio->Caratula.RutEmisor, "76123457-9");
    ASSERT_EQ(envio->Caratula.SubTotDTE.size(), 2u);
    EXPECT_EQ(envio->Caratula.SubTotDTE[1].TpoDTE, 61);
    ASSERT_EQ(envio->DTE.size(), 3u);
    EXPECT_EQ(envio->DTE[1]->Documento()->Get("Encabezado/Receptor/RznSocRecep"),
              "Servicios Informáticos Torres del Paine SpA");
    EXPECT_EQ(envio->DTE[2]->Documento()->Get("Referencia/RazonRef"), "Corrige precio unitario");
    for (const auto& dte : envio->DTE) {
      EXPECT_EQ(dte->Documento()->Get("Encabezado/Emisor/RznSoc"),
                "Distribuidora Larraín y Compañía Limitada");
      const std::string written = dte->ToXml(DefaultBindingContext());
      EXPECT_EQ(servicio.ValidarTEDParaDTE(dte, TedOf(written)), nullptr) << written;
      const SchemaResult result = ValidateSiiDocument(written, SiiRoot::Dte);
      EXPECT_TRUE(result.valid) << result.errors;
    }
  }
}

TEST(WildEnvelopeTest, EnvioBoletaGivesItsTwoBoletasWithMatchingTeds) {
  const std::string raw = ReadWild("envio_boleta.xml");
  Servicio servicio;
  for (const auto& envio : {LeerEnvioBoleta(raw), LeerEnvioBoleta(AsBytes(raw))}) {
    ASSERT_NE(envio, nullptr);
    ASSERT_EQ(envio->Caratula.SubTotDTE.size(), 1u);
    EXPECT_EQ(envio->Caratula.SubTotDTE[0].NroDTE, 2);
    ASSERT_EQ(envio->DTE.size(), 2u);
    EXPECT_EQ(envio->DTE[0]->Documento()->Get("Encabezado/Emisor/RznSocEmisor"),
              "Panadería La Espiga de Ñuñoa SpA");
    EXPECT_EQ(envio->DTE[1]->Documento()->Get("Encabezado/IdDoc/Folio"), "8124");
    for (const auto& boleta : envio->DTE) {
      const std::string written = boleta->ToXml(DefaultBindingContext());
      EXPECT_EQ(servicio.ValidarTEDParaBoleta(boleta, TedOf(written)), nullptr) << written;
      const SchemaResult result = ValidateSiiDocument(written, SiiRoot::Boleta);
      EXPECT_TRUE(result.valid) << result.errors;
    }
  }
}

}  // namespace
}  // namespace QuarloCliente
