#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "actions_fixture.hpp"
#include "core/payload.hpp"
#include "support/hostile_server.hpp"

namespace QuarloCliente::testing {
namespace {

using FactoringTest = ActionsTest;

std::string Entry(const std::string& id, const std::string& rut, const std::string& razon) {
  std::string entry = "<document>";
  if (!id.empty()) entry += "<IDFactoring>" + id + "</IDFactoring>";
  return entry + "<Direccion>Av. Irarrázaval 10, Ñuñoa</Direccion>" + "<CorreoContacto>contacto@" +
         rut + ".cl</CorreoContacto>" + "<NombreFantasia>Fact " + rut +
         "</NombreFantasia><RazonSocial>" + razon + "</RazonSocial><RUT>" + rut +
         "</RUT></document>";
}

// A listing answer whose Data is the registry as the service sends it: ISO-8859-1, in Base64.
std::string Listing(const std::string& documents, const std::string& total,
                    const std::string& time = "12") {
  const std::string registry =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><documents>" + documents + "</documents>";
  return Answer({{"Result", "0"},
                 {"Description", ""},
                 {"Data", documents.empty() ? "" : detail::EncodeIsoBase64(registry)},
                 {"SearchTime", time},
                 {"TotalDocuments", total}});
}

TEST_F(FactoringTest, ListingReadsEveryCompanyWithALargeTotal) {
  server_.Enqueue(ScriptedResponse::Xml(Listing(
      Entry("7", "96666666-6", "Factoring Peña S.A.") + Entry("40001", "97777777-7", "Otra"),
      "40000", "2500")));
  const auto listing = servicio_.ObtenerFactorings();

  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/GetFactorings");
  EXPECT_EQ(listing->ResultadoServicio->Estado, "0");
  EXPECT_EQ(listing->ResultadoServicio->Descripcion, "");
  EXPECT_EQ(listing->TotalFactorings, 40000);
  EXPECT_EQ(listing->TiempoBusqueda, 2500);
  ASSERT_NE(listing->Factorings, nullptr);
  ASSERT_EQ(listing->Factorings->size(), 2u);
  const Fact& first = *listing->Factorings->at(0);
  EXPECT_EQ(first.IDFactoring, 7);
  EXPECT_EQ(first.Direccion, "Av. Irarrázaval 10, Ñuñoa");
  EXPECT_EQ(first.CorreoContacto, "contacto@96666666-6.cl");
  EXPECT_EQ(first.NombreFantasia, "Fact 96666666-6");
  EXPECT_EQ(first.RazonSocial, "Factoring Peña S.A.");
  EXPECT_EQ(first.rut, "96666666-6");
  EXPECT_EQ(listing->Factorings->at(1)->IDFactoring, 40001);
  EXPECT_EQ(listing->Factorings->at(1)->rut, "97777777-7");
}

TEST_F(FactoringTest, ListingOutcomesWithoutCompanies) {
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "7"}, {"Description", "Sin acceso"}})));
  server_.Enqueue(ScriptedResponse::Xml(Listing("", "0", "3")));

  const auto refused = servicio_.ObtenerFactorings();
  EXPECT_EQ(refused->ResultadoServicio->Estado, "1");
  EXPECT_EQ(refused->ResultadoServicio->Descripcion, "Sin acceso");
  EXPECT_EQ(refused->Factorings, nullptr);

  const auto empty = servicio_.ObtenerFactorings();
  EXPECT_EQ(empty->ResultadoServicio->Estado, "0");
  ASSERT_NE(empty->Factorings, nullptr);
  EXPECT_TRUE(empty->Factorings->empty());
  EXPECT_EQ(empty->TotalFactorings, 0);
  EXPECT_EQ(empty->TiempoBusqueda, 3);
}

TEST_F(FactoringTest, ListingFailuresNameTheirCause) {
  server_.Enqueue(ScriptedResponse::Xml(Listing(Entry("1", "1-9", "A"), "1", "rápido")));
  server_.Enqueue(ScriptedResponse::Xml(Listing(Entry("1", "1-9", "A"), "2147483648")));
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Description", ""}})));

  const std::string prefix = "Error obteniendo los Factorings: ";
  const auto slow = servicio_.ObtenerFactorings();
  EXPECT_EQ(slow->ResultadoServicio->Estado, "1");
  EXPECT_EQ(slow->ResultadoServicio->Descripcion,
            prefix + "el elemento SearchTime no es un número entero: \"rápido\"");
  EXPECT_EQ(slow->Factorings, nullptr);
  EXPECT_EQ(servicio_.ObtenerFactorings()->ResultadoServicio->Descripcion,
            prefix + "el elemento TotalDocuments excede el rango de 32 bits: 2147483648");
  EXPECT_EQ(servicio_.ObtenerFactorings()->ResultadoServicio->Descripcion,
            prefix + "la respuesta no contiene el elemento Data");
}

TEST_F(FactoringTest, EntryWithoutIdentifierKeepsTheOnesBeforeIt) {
  server_.Enqueue(ScriptedResponse::Xml(Listing(
      Entry("1", "96666666-6", "Uno") + Entry("", "97777777-7", "Dos") + Entry("3", "3-5", "Tres"),
      "3")));
  const auto listing = servicio_.ObtenerFactorings();

  EXPECT_EQ(listing->ResultadoServicio->Estado, "1");
  EXPECT_EQ(listing->ResultadoServicio->Descripcion,
            "Error creando los Factorings desde el xml. : la entrada 2 no contiene IDFactoring");
  ASSERT_NE(listing->Factorings, nullptr);
  ASSERT_EQ(listing->Factorings->size(), 1u);
  EXPECT_EQ(listing->Factorings->at(0)->RazonSocial, "Uno");
  EXPECT_EQ(listing->TotalFactorings, 3);
}

TEST(ResultObtenerFactorings, SetDataReplacesTheListAndRefusesWhatIsNotXml) {
  ResultObtenerFactorings record;
  record.SetData("<r>" + Entry("5", "5-5", "Cinco") + Entry("6", "6-6", "Seis") + "</r>", 2, 9);
  ASSERT_EQ(record.Factorings->size(), 2u);
  const auto previous = record.Factorings;

  record.SetData("<r>" + Entry("x7", "7-7", "Siete") + "</r>", 1, 1);
  EXPECT_NE(record.Factorings, previous);
  EXPECT_TRUE(record.Factorings->empty());
  EXPECT_EQ(record.ResultadoServicio->Descripcion,
            "Error creando los Factorings desde el xml. : el elemento IDFactoring no es un número "
            "entero: \"x7\"");

  record.SetData("", 0, 0);
  EXPECT_EQ(record.ResultadoServicio->Estado, "0");
  EXPECT_TRUE(record.Factorings->empty());

  record.SetData("<document><IDFactoring>1", 1, 0);
  EXPECT_EQ(record.ResultadoServicio->Estado, "1");
  EXPECT_EQ(record.ResultadoServicio->Descripcion,
            "Error creando los Factorings desde el xml. : el texto recibido no es XML");

  record.ResultadoServicio = nullptr;
  record.SetData("<r>" + Entry("8", "8-8", "Ocho") + "</r>", 1, 0);
  ASSERT_NE(record.ResultadoServicio, nullptr);
  EXPECT_EQ(record.ResultadoServicio->Estado, "0");
  EXPECT_EQ(record.Factorings->at(0)->IDFactoring, 8);
}

TEST(ResultObtenerFactorings, NodeValueReadsTheFirstMatchOrNothing) {
  const ResultObtenerFactorings record;
  const XmlDocument document =
      XmlDocument::Parse("<r xmlns=\"urn:x\"><RUT>1-9</RUT><RUT>2-7</RUT></r>");
  EXPECT_EQ(record.NodeValue(document, "//RUT"), "1-9");
  EXPECT_EQ(record.NodeValue(document, "//Direccion"), "");
  EXPECT_EQ(record.NodeValue(XmlDocument(), "//RUT"), "");
}

TEST_F(FactoringTest, UpsertSendsTheCompanyWithoutItsIdentifier) {
  server_.Enqueue(
      ScriptedResponse::Xml(Answer({{"Result", "2"}, {"Description", "RUT inválido"}})));
  auto facto = std::make_shared<Fact>();
  facto->IDFactoring = 99;
  facto->rut = "96666666-6";
  facto->RazonSocial = "Peña & Cía <Ltda>";
  facto->NombreFantasia = "Peña";
  facto->CorreoContacto = "p@example.cl";
  facto->Direccion = "Ñuble 5";
  const auto result = servicio_.UpsertFactoring(facto);

  EXPECT_EQ(result->Estado, "2");
  EXPECT_EQ(result->Descripcion, "RUT inválido");
  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/UpsertFactoring");
  EXPECT_EQ(request.body.find("99"), std::string::npos);
  const ParsedBody body = ParseBody(request.body);
  EXPECT_EQ(body.root, "UpsertFactoringRequest");
  EXPECT_EQ(body.nameSpace, ApiNamespace);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"RUT", "96666666-6"},
      {"SocialReason", "Peña & Cía <Ltda>"},
      {"Name", "Peña"},
      {"Email", "p@example.cl"},
      {"Address", "Ñuble 5"}};
  EXPECT_EQ(body.children, expected);
}

TEST_F(FactoringTest, UpsertFailuresCarryTheirPrefix) {
  const auto missing = servicio_.UpsertFactoring(nullptr);
  EXPECT_EQ(missing->Estado, "1");
  EXPECT_EQ(missing->Descripcion,
            "Error Insertando/Actualizando Factoring: no se recibió el Factoring");
  EXPECT_EQ(server_.RequestCount(), 0u);

  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Description", "x"}})));
  EXPECT_EQ(servicio_.UpsertFactoring(std::make_shared<Fact>())->Descripcion,
            "Error Insertando/Actualizando Factoring: la respuesta no contiene el elemento Result");
}

// A service may echo the key it was sent; descriptions are logged, so it must not show there.
TEST_F(FactoringTest, AnEchoedKeyNeverReachesTheDescription) {
  servicio_.Configurar(server_.BaseUrl(), "SECRETKEY123");
  server_.Enqueue(ScriptedResponse::Xml(EchoingAnswer("llave SECRETKEY123 rechazada")));
  server_.Enqueue(ScriptedResponse::Xml(EchoingAnswer("llave SECRETKEY123 rechazada")));
  EXPECT_EQ(servicio_.ObtenerFactorings()->ResultadoServicio->Descripcion, "llave *** rechazada");
  const auto upserted = servicio_.UpsertFactoring(std::make_shared<Fact>());
  EXPECT_EQ(upserted->Estado, "1");
  EXPECT_EQ(upserted->Descripcion, "llave *** rechazada");
  EXPECT_EQ(server_.WaitForRequest(1).method, "POST");
}

TEST_F(FactoringTest, DeletionAddressesTheCompanyByRut) {
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Description", "Eliminado"}})));
  const auto deleted = servicio_.DeleteFactoring(Variant("11111111-1"));
  EXPECT_EQ(deleted->Estado, "0");
  EXPECT_EQ(deleted->Descripcion, "Eliminado");

  servicio_.DeleteFactoring(Variant(Long{76543210}));
  servicio_.DeleteFactoring(Variant(std::int64_t{96666666}));
  servicio_.DeleteFactoring(Variant(12345678.0));
  servicio_.DeleteFactoring(Variant("1-9/../2-7?x"));
  // Wider and unsigned whole numbers are held whole, even past the signed 64-bit range.
  servicio_.DeleteFactoring(Variant(77777777LL));
  servicio_.DeleteFactoring(Variant(std::size_t{88888888}));
  servicio_.DeleteFactoring(Variant(18446744073709551615ul));

  EXPECT_EQ(server_.WaitForRequest(0).target, "/DeleteFactoring/11111111-1");
  EXPECT_EQ(server_.WaitForRequest(1).target, "/DeleteFactoring/76543210");
  EXPECT_EQ(server_.WaitForRequest(2).target, "/DeleteFactoring/96666666");
  EXPECT_EQ(server_.WaitForRequest(3).target, "/DeleteFactoring/12345678");
  EXPECT_EQ(server_.WaitForRequest(4).target, "/DeleteFactoring/1-9%2F..%2F2-7%3Fx");
  EXPECT_EQ(server_.WaitForRequest(5).target, "/DeleteFactoring/77777777");
  EXPECT_EQ(server_.WaitForRequest(6).target, "/DeleteFactoring/88888888");
  EXPECT_EQ(server_.WaitForRequest(7).target, "/DeleteFactoring/18446744073709551615");
  EXPECT_EQ(Variant(4000000000u).value(), Variant::Value(std::uint64_t{4000000000}));
  EXPECT_EQ(Variant(-5LL).value(), Variant::Value(std::int64_t{-5}));
}

TEST_F(FactoringTest, DeletionRefusesValuesThatNameNoCompany) {
  const std::pair<Variant, std::string> refused[] = {
      {Variant(), "no se indicó el RUT"},
      {Variant(Null{}), "el RUT es nulo"},
      {Variant(""), "el RUT está vacío"},
      {Variant(12.5), "el RUT numérico no es un número entero"},
      {Variant(true), "el RUT no puede ser un valor lógico"},
      {Variant(MakeDate(2024, 1, 2)), "el RUT no puede ser una fecha"},
      {Variant(Bytes{0x31}), "el RUT no puede ser un arreglo de bytes"}};
  for (const auto& [value, reason] : refused) {
    const auto result = servicio_.DeleteFactoring(value);
    EXPECT_EQ(result->Estado, "1");
    EXPECT_EQ(result->Descripcion, "Error eliminando Factoring: " + reason);
  }
  EXPECT_EQ(server_.RequestCount(), 0u);

  server_.Enqueue(ScriptedResponse::Html("<html><body>Not found<br></body></html>", 404));
  EXPECT_EQ(servicio_.DeleteFactoring(Variant("1-9"))->Descripcion,
            "Error eliminando Factoring: HTTP 404: la respuesta no es XML");
}

}  // namespace
}  // namespace QuarloCliente::testing
