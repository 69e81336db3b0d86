#include "sii_schemas.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace QuarloCliente::testing {
namespace {

struct FixtureCase {
  const char* file;
  SiiRoot root;
};

void PrintTo(const FixtureCase& fixture, std::ostream* out) {
  *out << fixture.file;
}

class SiiFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(SiiFixtureTest, ValidatesOnceSignedOrWrapped) {
  const std::string xml = ReadTestData(GetParam().file);
  // The fixtures stand for what a caller hands the library, which never signs them itself.
  EXPECT_EQ(xml.find("Signature"), std::string::npos);

  const SchemaResult result = ValidateSiiDocument(xml, GetParam().root);
  EXPECT_TRUE(result.valid) << result.errors;
  EXPECT_EQ(result.errors, "");
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, SiiFixtureTest,
    ::testing::Values(FixtureCase{"factura_33.xml", SiiRoot::Dte},
                      FixtureCase{"exportacion_110.xml", SiiRoot::Dte},
                      FixtureCase{"liquidacion_43.xml", SiiRoot::Dte},
                      FixtureCase{"boleta_39.xml", SiiRoot::Boleta},
                      FixtureCase{"consumo_folios.xml", SiiRoot::ConsumoFolios},
                      FixtureCase{"libro_compra_venta.xml", SiiRoot::LibroCompraVenta},
                      FixtureCase{"libro_guia.xml", SiiRoot::LibroGuia},
                      FixtureCase{"libro_boleta.xml", SiiRoot::LibroBoleta}),
    [](const ::testing::TestParamInfo<FixtureCase>& param_info) {
      std::string name(param_info.param.file);
      return name.substr(0, name.find('.'));
    });

// Fails the test when `from` is absent, so that a fixture edit cannot silently turn a broken copy
// back into a valid one.
std::string Replace(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << "fixture no longer contains: " << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "<DTE xmlns=...>" becomes "<p:DTE xmlns:p=...>", as the library writes with a prefix map.
std::string WithPrefix(std::string_view xml, std::string_view prefix) {
  std::string out;
  for (std::size_t i = 0; i < xml.size(); ++i) {
    out += xml[i];
    if (xml[i] != '<' || i + 1 >= xml.size() || xml[i + 1] == '?') continue;
    if (xml[i + 1] == '/') out += xml[++i];
    out.append(prefix).append(":");
  }
  return Replace(out, "xmlns=", "xmlns:" + std::string(prefix) + "=");
}

TEST(SiiSchemasTest, BrokenDocumentsAreRejectedNamingTheCulprit) {
  const std::string factura = ReadTestData("factura_33.xml");
  const struct {
    std::string xml;
    SiiRoot root;
    std::string expected;
  } cases[] = {
      {Replace(Replace(factura, "<Folio>1523</Folio>", ""), "</FchEmis>",
               "</FchEmis><Folio>1523</Folio>"),
       SiiRoot::Dte, "FchEmis"},
      {Replace(factura, "<TipoDTE>33</TipoDTE>", "<TipoDTE>39</TipoDTE>"), SiiRoot::Dte, "TipoDTE"},
      // Proves the boleta itself, not only the envelope, is checked.
      {Replace(ReadTestData("boleta_39.xml"), "<IndServicio>3</IndServicio>", ""), SiiRoot::Boleta,
       "IndServicio"},
      // Proves the patched LibroCV schema still checks content after compiling.
      {Replace(ReadTestData("libro_compra_venta.xml"), "<TipoOperacion>VENTA<",
               "<TipoOperacion>VENDE<"),
       SiiRoot::LibroCompraVenta, "TipoOperacion"},
      // A standard signature is the wrong one here and must not be masked by the dummy.
      {InsertDummySignature(ReadTestData("libro_boleta.xml")), SiiRoot::LibroBoleta,
       "{http://www.sii.cl/SiiDte}Signature"},
      {Replace(ReadTestData("consumo_folios.xml"), "<SecEnvio>1</SecEnvio>", ""),
       SiiRoot::ConsumoFolios, "SecEnvio"},
  };
  for (const auto& broken : cases) {
    const SchemaResult result = ValidateSiiDocument(broken.xml, broken.root);
    EXPECT_FALSE(result.valid) << "expected a complaint about " << broken.expected;
    EXPECT_NE(result.errors.find(broken.expected), std::string::npos) << result.errors;
  }
}

TEST(SiiSchemasTest, FailuresOutsideTheSchemaAreReportedNotThrown) {
  const SchemaResult not_xml =
      ValidateSiiDocument("<DTE version=\"1.0\"><Documento>", SiiRoot::Dte);
  EXPECT_FALSE(not_xml.valid);
  EXPECT_NE(not_xml.errors.find("line 1"), std::string::npos) << not_xml.errors;

  const SchemaResult no_schema = ValidateAgainstSii("<DTE/>", "NoExiste_v10.xsd");
  EXPECT_FALSE(no_schema.valid);
  EXPECT_NE(no_schema.errors.find("NoExiste_v10.xsd"), std::string::npos) << no_schema.errors;

  // Unsigned, the DTE must fail: otherwise the preparation would prove nothing.
  const SchemaResult unsigned_dte =
      ValidateAgainstSii(ReadTestData("factura_33.xml"), "DTE_v10.xsd");
  EXPECT_FALSE(unsigned_dte.valid);
  EXPECT_NE(unsigned_dte.errors.find("Signature"), std::string::npos) << unsigned_dte.errors;
}

TEST(SiiSchemasTest, TheRepositoryCarriesEverySchemaItsReadmeLists) {
  const std::filesystem::path dir = SiiSchemaFolder();
  EXPECT_EQ(dir.filename(), "sii");
  EXPECT_EQ(dir.parent_path().filename(), "schemas");
  std::istringstream readme(ReadWhole(dir / "README.md"));
  int listed = 0;
  for (std::string line; std::getline(readme, line);) {
    const std::size_t end = line.find(".xsd |");
    if (line.rfind("| ", 0) != 0 || end == std::string::npos) continue;
    const std::string file = line.substr(2, end + 4 - 2);
    ++listed;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / file)) << file;
  }
  EXPECT_EQ(listed, 20);
}

TEST(SiiSchemasTest, LibroCompraVentaUsesAPatchedCopyAndLeavesTheOriginalsAlone) {
  const std::filesystem::path dir = SiiSchemaFolder();
  EXPECT_EQ(SiiSchemaPath("DTE_v10.xsd"), dir / "DTE_v10.xsd");
  const std::filesystem::path libro_cv = SiiSchemaPath("LibroCV_v10.xsd");
  EXPECT_NE(libro_cv.parent_path(), dir);
  EXPECT_EQ(SiiSchemaPath("LceSiiTypes_v10.xsd").parent_path(), libro_cv.parent_path());

  const SchemaResult result =
      ValidateSiiDocument(ReadTestData("libro_compra_venta.xml"), SiiRoot::LibroCompraVenta);
  EXPECT_TRUE(result.valid) << result.errors;

  const std::string long_bound = R"(value="999999999999999999999999999999.9999")";
  EXPECT_NE(ReadWhole(dir / "LceSiiTypes_v10.xsd").find(long_bound), std::string::npos);
  EXPECT_EQ(ReadWhole(libro_cv.parent_path() / "LceSiiTypes_v10.xsd").find(long_bound),
            std::string::npos);
}

TEST(SiiSchemasTest, PreparationIsIdempotentAndKeepsUtf8Text) {
  // Text the library holds is UTF-8 whatever its declaration says; honouring the declaration
  // would garble every accented name.
  const std::string factura =
      Replace(ReadTestData("factura_33.xml"), R"(encoding="UTF-8")", R"(encoding="ISO-8859-1")");
  const PreparedDocument once = PrepareForValidation(factura, SiiRoot::Dte);
  EXPECT_NE(once.xml.find("<RznSoc>Comercializadora Ñuñoa Ltda.</RznSoc>"), std::string::npos)
      << once.xml;
  // A second dummy signature would be rejected by the schema.
  const PreparedDocument twice = PrepareForValidation(once.xml, SiiRoot::Dte);
  const SchemaResult result = ValidateAgainstSii(twice.xml, twice.schema_file);
  EXPECT_TRUE(result.valid) << result.errors;

  const std::string envio = WrapBoletaInEnvio(ReadTestData("boleta_39.xml"));
  EXPECT_NE(envio.find("<CmnaOrigen>Peñalolén</CmnaOrigen>"), std::string::npos) << envio;
}

TEST(SiiSchemasTest, PrefixedDocumentsValidateToo) {
  for (const auto& [file, root] : {std::pair{"boleta_39.xml", SiiRoot::Boleta},
                                   std::pair{"libro_boleta.xml", SiiRoot::LibroBoleta},
                                   std::pair{"liquidacion_43.xml", SiiRoot::Dte}}) {
    const SchemaResult prefixed =
        ValidateSiiDocument(WithPrefix(ReadTestData(file), "ABCXYZ"), root);
    EXPECT_TRUE(prefixed.valid) << file << ":\n" << prefixed.errors;
  }
}

}  // namespace
}  // namespace QuarloCliente::testing
