#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string>

#include "binding/banner.hpp"
#include "core/binding_cleanup.hpp"
#include "support/sii_schemas.hpp"

// Each fixture document goes the way a submission takes it: loaded into its binding, edited,
// serialised with the SII namespace under the "ABCXYZ" prefix, cleaned; what comes out must still
// be the same document and satisfy the SII schema.

namespace QuarloCliente {
namespace {

using testing::SiiRoot;

std::shared_ptr<BindingContext> PrefixedContext() {
  auto context = std::make_shared<BindingContext>();
  context->RegisterNamespace(SiiDteNamespace, "ABCXYZ");
  return context;
}

std::string SerializeAsSubmitted(const BindingDocument& document) {
  const Bytes bytes = document.Serialize(PrefixedContext(), true, 2, 0, 2);
  return std::string(bytes.begin(), bytes.end());
}

// The DTE clean-up drops the SII default namespace from the DTE root, as the service inserts the
// document into its own SII-namespaced envelope; the schema needs it back.
std::string InSiiNamespace(std::string text) {
  const auto at = text.find("<DTE ");
  if (at != std::string::npos)
    text.insert(at + 5, "xmlns=\"" + std::string(SiiDteNamespace) + "\" ");
  return text;
}

void ExpectCleanAndValid(const std::string& text, SiiRoot root) {
  EXPECT_EQ(text.find("ABCXYZ"), std::string::npos) << text;
  EXPECT_EQ(text.find(detail::kBindingBannerDocuments), std::string::npos);
  EXPECT_EQ(text.find(detail::kBindingBannerBooks), std::string::npos);
  const auto result = testing::ValidateSiiDocument(text, root);
  EXPECT_TRUE(result.valid) << result.errors << "\n" << text;
}

template <class Binding>
std::shared_ptr<Binding> LoadFixture(const char* file) {
  auto binding = std::make_shared<Binding>();
  binding->Load(testing::ReadTestData(file), std::make_shared<BindingContext>());
  return binding;
}

TEST(BindingRoundTrip, DteFormsSurviveEditingSerialisingAndCleaning) {
  struct Case {
    const char* file;
    const char* receptor;
  };
  for (const Case& c : {Case{"factura_33.xml", "Constructora Peñalolén & Cía"},
                        Case{"exportacion_110.xml", "Importadora Ñandú GmbH"},
                        Case{"liquidacion_43.xml", "Agrícola Chañaral"}}) {
    SCOPED_TRACE(c.file);
    auto dte = LoadFixture<DteDocumentBinding>(c.file);
    dte->Set(std::string(dte->Documento()       ? "Documento"
                         : dte->Exportaciones() ? "Exportaciones"
                                                : "Liquidacion") +
                 "/Encabezado/Receptor/RznSocRecep",
             c.receptor);
    const std::string clean = detail::CleanBindingXml(SerializeAsSubmitted(*dte));
    EXPECT_EQ(clean.find("xmlns=\"" + std::string(SiiDteNamespace) + "\" version"),
              std::string::npos);
    const std::string escaped = c.receptor == std::string("Constructora Peñalolén & Cía")
                                    ? "Constructora Peñalolén &amp; Cía"
                                    : c.receptor;
    EXPECT_NE(clean.find("<RznSocRecep>" + escaped + "</RznSocRecep>"), std::string::npos);
    ExpectCleanAndValid(InSiiNamespace(clean), SiiRoot::Dte);
  }
}

TEST(BindingRoundTrip, BoletaSurvivesInsideItsEnvelope) {
  auto boleta = LoadFixture<BoletaDocumentBinding>("boleta_39.xml");
  boleta->Documento()->Detalle(1)->SetNmbItem("Marraqueta ñ");
  const std::string clean = detail::CleanBindingXml(SerializeAsSubmitted(*boleta));
  EXPECT_NE(clean.find("Marraqueta ñ"), std::string::npos);
  // The envelope's default namespace is the one the cleaned boleta lives in.
  ExpectCleanAndValid(clean, SiiRoot::Boleta);
}

TEST(BindingRoundTrip, BooksKeepTheirNamespaceThroughTheCleanUp) {
  auto consumo = LoadFixture<ConsumoFoliosBinding>("consumo_folios.xml");
  consumo->Set("DocumentoConsumoFolios/@ID", "ID_1");
  auto compraVenta = LoadFixture<LibroCompraVentaBinding>("libro_compra_venta.xml");
  compraVenta->Set("EnvioLibro/@ID", "ID_1");
  auto guias = LoadFixture<LibroGuiaBinding>("libro_guia.xml");
  guias->Set("EnvioLibro/@ID", "ID_1");
  auto boletas = LoadFixture<LibroBoletaBinding>("libro_boleta.xml");
  boletas->Set("EnvioLibro/@ID", "ID_1");
  const std::pair<const BindingDocument*, SiiRoot> books[] = {
      {consumo.get(), SiiRoot::ConsumoFolios},
      {compraVenta.get(), SiiRoot::LibroCompraVenta},
      {guias.get(), SiiRoot::LibroGuia},
      {boletas.get(), SiiRoot::LibroBoleta}};
  for (const auto& [book, root] : books) {
    const std::string clean = detail::CleanBindingXmlKeepNamespace(SerializeAsSubmitted(*book));
    EXPECT_NE(clean.find("xmlns=\"" + std::string(SiiDteNamespace) + "\""), std::string::npos);
    EXPECT_NE(clean.find("ID=\"ID_1\""), std::string::npos);
    ExpectCleanAndValid(clean, root);
  }
}

}  // namespace
}  // namespace QuarloCliente
