#include "query_fixture.hpp"

namespace QuarloCliente {
namespace {

// The fixture with a service indicator written into its IdDoc.
std::string WithIndicator(std::string_view file, std::string_view indicator) {
  std::string dte = FixtureElement(file);
  const std::string tag = "<IndServicio>" + std::string(indicator) + "</IndServicio>";
  const auto existing = dte.find("<IndServicio>3</IndServicio>");
  if (existing != std::string::npos) return dte.replace(existing, 28, tag);
  return dte.insert(dte.find("</IdDoc>"), tag);
}

TEST_F(QueryTest, EnvioDteLoadsItsFirstDteWithCustomFieldsUngarbled) {
  AnswerData(Envelope("EnvioDTE",
                      FixtureElement("factura_33.xml") + FixtureElement("exportacion_110.xml"),
                      "<Personalizados><Vendedor>María Peña</Vendedor></Personalizados>"));
  const auto result = servicio.RecuperarDocumento("T", "E", "76543210-3", "33", "1523");

  ASSERT_EQ(result->ResultadoServicio->Estado, "0") << result->ResultadoServicio->Descripcion;
  ASSERT_EQ(result->Data->GetTipo(), "DTE");
  const auto dte = std::dynamic_pointer_cast<ResultadoDocDTE>(result->Data)->Documento;
  ASSERT_NE(dte->Documento(), nullptr);
  EXPECT_EQ(dte->Documento()->Encabezado()->IdDoc()->Folio().ToString(), "1523");
  EXPECT_EQ(dte->Get("Documento/Encabezado/Emisor/CmnaOrigen"), "Ñuñoa");
  ASSERT_NE(dte->Personalizados(), nullptr);
  EXPECT_EQ(dte->Personalizados()->Get("Vendedor"), "María Peña");
}

TEST_F(QueryTest, LeadingZeroOfTheServiceIndicatorIsDroppedOnce) {
  DefaultBindingContext()->SetAllOptions(false);
  const struct {
    const char* file;
    const char* envelope;
    const char* form;
    const char* stored;
    const char* loaded;
  } cases[] = {{"boleta_39.xml", "EnvioBOLETA", "Documento", "03", "3"},
               {"boleta_39.xml", "EnvioBOLETA", "Documento", "3", "3"},
               {"boleta_39.xml", "EnvioBOLETA", "Documento", "003", "03"},
               {"exportacion_110.xml", "EnvioDTE", "Exportaciones", "03", "3"},
               {"liquidacion_43.xml", "EnvioDTE", "Liquidacion", "03", "3"}};
  for (const auto& c : cases) {
    AnswerData(Envelope(c.envelope, WithIndicator(c.file, c.stored)));
    const auto result = servicio.RecuperarDocumento("T", "E", "r", "39", "4017");
    ASSERT_EQ(result->ResultadoServicio->Estado, "0") << result->ResultadoServicio->Descripcion;
    const std::string path = std::string(c.form) + "/Encabezado/IdDoc/IndServicio";
    if (std::string_view(c.envelope) == "EnvioBOLETA") {
      ASSERT_EQ(result->Data->GetTipo(), "BOLETA");
      const auto boleta = std::dynamic_pointer_cast<ResultadoDocBoleta>(result->Data)->Documento;
      EXPECT_EQ(boleta->Get(path), c.loaded) << c.stored;
      EXPECT_EQ(boleta->Personalizados(), nullptr);
    } else {
      ASSERT_EQ(result->Data->GetTipo(), "DTE");
      const auto dte = std::dynamic_pointer_cast<ResultadoDocDTE>(result->Data)->Documento;
      EXPECT_EQ(dte->Get(path), c.loaded) << c.file;
    }
  }
  const BindingOptions options = DefaultBindingContext()->Options();
  // The retrieval loads through a lenient context of its own; the caller's stays strict.
  EXPECT_FALSE(options.AllowUnknownElements || options.AllowOutOfOrderElements ||
               options.TrimValueWhitespace || options.DeferValueValidation ||
               options.AllowUnknownAttributes);
}

TEST_F(QueryTest, DocumentRetrievalFailuresLeaveTheEmptyHolder) {
  // A DTE without namespace is read as in the SII's; one in another namespace is not a DTE.
  const std::string otroEspacio =
      "<DTE xmlns=\"urn:otro\" version=\"1.0\"><Documento ID=\"A\"><Encabezado/></Documento></DTE>";
  const struct {
    std::string data;
    std::string descripcion;
  } cases[] = {
      {"?", "Documento no encontrado, para Ambiente:T, Grupo:E, RUT:r, Tipo:33, Folio:15."},
      {testing::ReadTestData("factura_33.xml"),
       "Xml con formato desconocido, no corresponde a un DTE o una Boleta."},
      {Envelope("EnvioDTE", ""), "el XML recuperado no contiene un elemento DTE"},
      {Envelope("EnvioDTE", otroEspacio), "el elemento raíz DTE no está en el espacio de nombres"},
  };
  for (const auto& c : cases) {
    if (c.data == "?") {
      Answer("<Result>0</Result><Data>?</Data>");
    } else {
      AnswerData(c.data);
    }
    const auto result = servicio.RecuperarDocumento("T", "E", "r", "33", "15");
    EXPECT_EQ(result->ResultadoServicio->Estado, "1");
    EXPECT_TRUE(result->ResultadoServicio->Descripcion.starts_with("Error consultando servicio: " +
                                                                   c.descripcion))
        << result->ResultadoServicio->Descripcion;
    EXPECT_EQ(result->Data->GetTipo(), "");
  }
}

}  // namespace
}  // namespace QuarloCliente
