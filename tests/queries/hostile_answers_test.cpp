// What a hostile service answers a query: it must be refused or read within its bounds, and the
// description must name what happened without the secrets the query was made with.

#include "query_fixture.hpp"
#include "support/hostile_server.hpp"

namespace QuarloCliente {
namespace {

using testing::EntityKind;
using testing::ScriptedResponse;

constexpr char kFiscalPrefix[] = "Error obteniendo estado fiscal: ";
constexpr char kPdfPrefix[] = "Error recuperando el PDF del documento: ";

TEST_F(QueryTest, AnAnswerThatDeclaresEntitiesIsRefusedWithItsReason) {
  for (const EntityKind kind : {EntityKind::General, EntityKind::Parameter}) {
    server.Enqueue(ScriptedResponse::Xml(testing::EntityBombAnswer(8, kind)));
    const auto status = servicio.EstadoFiscal("T", servicio.Grupo_Emitido, "1-9", "33", "1");
    EXPECT_EQ(status->ResultadoServicio->Estado, "1");
    EXPECT_EQ(status->ResultadoServicio->Descripcion,
              std::string(kFiscalPrefix) + "la respuesta declara entidades XML, que no se admiten");
  }
  // The refusal takes nothing from the next exchange.
  Answer("<Result>0</Result><Data>" + detail::EncodeIsoBase64("<x/>") + "</Data>");
  EXPECT_EQ(servicio.RecuperarPDF("T", "E", "1-9", "33", "1")->ResultadoServicio->Estado, "0");
}

// Tens of MB of Base64 in one text node: beyond libxml2's limit for one, within the answer cap.
TEST_F(QueryTest, ALargePdfStillArrivesWhole) {
  constexpr std::size_t kPdfBytes = 20u << 20;
  server.Enqueue(ScriptedResponse::Xml(testing::LargeDataAnswer(kPdfBytes)));
  const auto pdf = servicio.RecuperarPDF("T", "E", "1-9", "33", "1");
  ASSERT_EQ(pdf->ResultadoServicio->Estado, "0") << pdf->ResultadoServicio->Descripcion;
  const Bytes bytes = pdf->GetDatosComoBytes();
  const std::string expected = testing::LargeDataBytes(kPdfBytes);
  ASSERT_EQ(bytes.size(), expected.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), expected.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
}

TEST_F(QueryTest, AnEchoedKeyNeverReachesTheDescription) {
  servicio.Configurar(server.BaseUrl(), "SECRETKEY/123");
  server.Enqueue(ScriptedResponse::Xml(
      testing::EchoingAnswer("llave SECRETKEY/123 rechazada (SECRETKEY%2F123)")));
  const auto status = servicio.EstadoFiscal("T", servicio.Grupo_Emitido, "1-9", "33", "1");
  EXPECT_EQ(status->ResultadoServicio->Descripcion, "llave *** rechazada (***)");

  Answer("<Result>0</Result><Data>?</Data><Description>sin PDF para SECRETKEY/123</Description>");
  EXPECT_EQ(
      servicio.RecuperarPDF("T", "E", "1-9", "33", "1")->ResultadoServicio->Descripcion,
      std::string(kPdfPrefix) + "No fue posible recuperar el PDF del documento. sin PDF para ***");
}

}  // namespace
}  // namespace QuarloCliente
