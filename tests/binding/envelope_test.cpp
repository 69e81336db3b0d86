#include <gtest/gtest.h>

#include <functional>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <string>
#include <vector>

#include "support/error_of.hpp"
#include "support/sii_schemas.hpp"

namespace QuarloCliente {
namespace {

using testing::ErrorOf;

// The text with its first `from` replaced by `to`.
std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// A fixture document signed, as it sits in an envelope: no declaration, and its namespace
// declared on the envelope's root only, so that loading it on its own needs the namespaces in
// scope. Its folio, written in its ID, Folio and TED, may be changed to another.
std::string SignedDte(const std::string& file, std::string_view folio = "",
                      std::string_view other = "") {
  std::string xml = testing::ReadTestData(file);
  for (auto at = xml.find(folio); !folio.empty() && at != std::string::npos;
       at = xml.find(folio, at)) {
    xml.replace(at, folio.size(), other);
  }
  xml = testing::InsertDummySignature(xml);
  xml = xml.substr(xml.find("<DTE"));
  return Replaced(xml, R"( xmlns="http://www.sii.cl/SiiDte")", "");
}

// An envelope of the documents under a cover with the given SubTotDTE elements.
std::string Envelope(std::string_view root, const std::string& subtotals,
                     const std::vector<std::string>& dtes) {
  std::string xml =
      R"(<?xml version="1.0" encoding="UTF-8"?>
<)" + std::string(root) +
      R"( xmlns="http://www.sii.cl/SiiDte" xmlns:ds="http://www.w3.org/2000/09/xmldsig#" version="1.0">
<SetDTE ID="SetDoc">
<Caratula version="1.0">
<RutEmisor>76543210-3</RutEmisor>
<RutEnvia>13579246-8</RutEnvia>
<RutReceptor>77214903-4</RutReceptor>
<FchResol>2014-08-22</FchResol>
<NroResol>80</NroResol>
<TmstFirmaEnv>2024-05-02T10:20:00</TmstFirmaEnv>
)" + subtotals +
      "</Caratula>\n";
  for (const std::string& dte : dtes) xml += dte + "\n";
  return xml + "</SetDTE>\n<ds:Signature/>\n</" + std::string(root) + ">\n";
}

// One SubTotDTE element.
std::string SubTot(int tipo, int numero) {
  return "<SubTotDTE><TpoDTE>" + std::to_string(tipo) + "</TpoDTE><NroDTE>" +
         std::to_string(numero) + "</NroDTE></SubTotDTE>\n";
}

// Two facturas and an export invoice, in the order 33, 110, 33.
std::vector<std::string> ThreeDtes() {
  return {SignedDte("factura_33.xml"), SignedDte("exportacion_110.xml"),
          SignedDte("factura_33.xml", "1523", "1524")};
}

// An EnvioDTE of the three documents, rightly counted.
std::string EnvioDte() {
  return Envelope("EnvioDTE", SubTot(33, 2) + SubTot(110, 1), ThreeDtes());
}

TEST(EnvelopeTest, EnvioDteGivesItsCoverAndSignedDocumentsInOrder) {
  const std::string text = EnvioDte();
  for (const auto& envio : {LeerEnvioDte(text), LeerEnvioDte(Bytes(text.begin(), text.end()))}) {
    EXPECT_EQ(envio->ID, "SetDoc");
    const CaratulaEnvio& caratula = envio->Caratula;
    EXPECT_EQ(caratula.RutEmisor, "76543210-3");
    EXPECT_EQ(caratula.RutEnvia, "13579246-8");
    EXPECT_EQ(caratula.RutReceptor, "77214903-4");
    EXPECT_EQ(caratula.FchResol, MakeDate(2014, 8, 22));
    EXPECT_EQ(caratula.NroResol, 80);
    EXPECT_EQ(caratula.TmstFirmaEnv, BindingDateTime::FromDateTime(2024, 5, 2, 10, 20, 0));
    ASSERT_EQ(caratula.SubTotDTE.size(), 2U);
    EXPECT_EQ(caratula.SubTotDTE[1].TpoDTE, 110);
    EXPECT_EQ(caratula.SubTotDTE[1].NroDTE, 1);

    ASSERT_EQ(envio->DTE.size(), 3U);
    EXPECT_EQ(envio->DTE[0]->Documento()->Encabezado()->IdDoc()->Folio().ToString(), "1523");
    EXPECT_EQ(envio->DTE[1]->Exportaciones()->Encabezado()->IdDoc()->Folio().ToString(), "387");
    EXPECT_EQ(envio->DTE[2]->Documento()->Encabezado()->IdDoc()->Folio().ToString(), "1524");
    EXPECT_EQ(envio->DTE[0]->Get("Documento/Encabezado/Emisor/RznSoc"),
              "Comercializadora Ñuñoa Ltda.");
    // Each document keeps the signature it came with, which refers to its own ID.
    EXPECT_EQ(envio->DTE[0]->Get("Signature/SignedInfo/Reference/@URI"), "#T33F1523");
    EXPECT_EQ(envio->DTE[2]->Get("Signature/SignedInfo/Reference/@URI"), "#T33F1524");
    const std::string written = envio->DTE[1]->ToXml(std::make_shared<BindingContext>());
    EXPECT_NE(written.find(R"(<Reference URI="#T110F387">)"), std::string::npos) << written;
    auto again = std::make_shared<DteDocumentBinding>();
    again->Load(written, std::make_shared<BindingContext>());
    EXPECT_EQ(again->Get("Signature/SignatureValue"),
              envio->DTE[1]->Get("Signature/SignatureValue"));
  }
}

TEST(EnvelopeTest, EnvioBoletaHoldsBoletasOnly) {
  const std::vector<std::string> boletas{SignedDte("boleta_39.xml"),
                                         SignedDte("boleta_39.xml", "4017", "4018")};
  const auto envio = LeerEnvioBoleta(Envelope("EnvioBOLETA", SubTot(39, 2), boletas));
  ASSERT_EQ(envio->DTE.size(), 2U);
  EXPECT_EQ(envio->DTE[1]->Documento()->Encabezado()->IdDoc()->Folio().ToString(), "4018");
  EXPECT_EQ(envio->DTE[0]->Get("Documento/Encabezado/Emisor/RznSocEmisor"),
            "Panadería y Amasandería Peñalolén SpA");
  EXPECT_TRUE(envio->DTE[1]->Has("Signature"));

  const std::string factura_in_boletas = Envelope("EnvioBOLETA", SubTot(39, 1) + SubTot(33, 1),
                                                  {boletas[0], SignedDte("factura_33.xml")});
  EXPECT_EQ(ErrorOf([&] { LeerEnvioBoleta(factura_in_boletas); }),
            "DTE 2 de 2: un documento de tipo 33 no es una boleta y no va en un EnvioBOLETA");
  // Strict loading of the DTE form would refuse a boleta too, but a lenient context must not let
  // one through.
  auto lenient = std::make_shared<BindingContext>();
  lenient->SetOption(BindingOption::DeferValueValidation, true);
  EXPECT_EQ(
      ErrorOf([&] { LeerEnvioDte(Envelope("EnvioDTE", SubTot(39, 1), {boletas[0]}), lenient); }),
      "DTE 1 de 1: un documento de tipo 39 es una boleta, que no va en un EnvioDTE sino en "
      "un EnvioBOLETA");
}

TEST(EnvelopeTest, CountsMustMatchTheDocumentsPerType) {
  EXPECT_EQ(ErrorOf([] {
              LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 1) + SubTot(110, 1), ThreeDtes()));
            }),
            "la carátula declara 1 DTE de tipo 33 y el sobre contiene 2");
  EXPECT_EQ(ErrorOf([] { LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 2), ThreeDtes())); }),
            "el sobre contiene 1 DTE de tipo 110 que la carátula no declara");
  EXPECT_EQ(ErrorOf([] {
              LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 2) + SubTot(110, 1) + SubTot(61, 1),
                                    ThreeDtes()));
            }),
            "la carátula declara 1 DTE de tipo 61 y el sobre contiene 0");
  EXPECT_EQ(ErrorOf([] {
              LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 1) + SubTot(110, 1) + SubTot(33, 1),
                                    ThreeDtes()));
            }),
            "la carátula repite el SubTotDTE del tipo 33");
  EXPECT_EQ(ErrorOf([] { LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 0), ThreeDtes())); }),
            "Caratula: NroDTE: 0 es menor que 1");
}

TEST(EnvelopeTest, AFaultyDocumentIsNamedByItsPlace) {
  std::vector<std::string> dtes = ThreeDtes();
  dtes[1] = Replaced(dtes[1], "<Folio>387</Folio>", "<Folio>387</Folio><Sorpresa/>");
  const std::string error =
      ErrorOf([&] { LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 2) + SubTot(110, 1), dtes)); });
  EXPECT_EQ(error.rfind("DTE 2 de 3: ", 0), 0U) << error;
  EXPECT_NE(error.find("Sorpresa"), std::string::npos) << error;

  dtes = ThreeDtes();
  dtes[2] = Replaced(dtes[2], "<TipoDTE>33</TipoDTE>", "");
  EXPECT_EQ(
      ErrorOf([&] { LeerEnvioDte(Envelope("EnvioDTE", SubTot(33, 2) + SubTot(110, 1), dtes)); }),
      "DTE 3 de 3: el documento no indica su TipoDTE");
}

TEST(EnvelopeTest, WhatIsNotAnEnvelopeIsRefused) {
  const std::string envio = EnvioDte();
  EXPECT_EQ(ErrorOf([] { LeerEnvioDte(std::string_view("esto no es XML")); }),
            "el texto no es un documento XML bien formado");
  EXPECT_EQ(ErrorOf([] { LeerEnvioDte(Bytes{}); }), "el texto no es un documento XML bien formado");
  EXPECT_EQ(ErrorOf([&] { LeerEnvioBoleta(envio); }),
            "el documento no es un EnvioBOLETA: el elemento raíz es EnvioDTE");
  EXPECT_EQ(ErrorOf([] { LeerEnvioDte(testing::ReadTestData("factura_33.xml")); }),
            "el documento no es un EnvioDTE: el elemento raíz es DTE");
  EXPECT_EQ(ErrorOf([&] { LeerEnvioDte(Replaced(envio, "http://www.sii.cl/SiiDte", "urn:otro")); }),
            "el elemento raíz EnvioDTE no está en el espacio de nombres http://www.sii.cl/SiiDte "
            "sino en urn:otro");
  EXPECT_EQ(ErrorOf([&] {
              LeerEnvioDte(Replaced(Replaced(envio, "<Caratula version", "<Portada version"),
                                    "</Caratula>", "</Portada>"));
            }),
            "falta el elemento Caratula en SetDTE");
  EXPECT_EQ(ErrorOf([&] { LeerEnvioDte(Replaced(envio, R"( ID="SetDoc")", "")); }),
            "SetDTE no tiene el atributo ID");
  EXPECT_EQ(ErrorOf([&] {
              LeerEnvioDte(Replaced(envio, "<FchResol>2014-08-22", "<FchResol>2014-02-30"));
            }),
            "Caratula: FchResol: '2014-02-30' no es una fecha AAAA-MM-DD");
  EXPECT_EQ(ErrorOf([&] { LeerEnvioDte(Replaced(envio, "<RutEnvia>13579246-8</RutEnvia>", "")); }),
            "Caratula: falta el elemento RutEnvia en Caratula");
  const std::string bomb =
      Replaced(envio, "<EnvioDTE", "<!DOCTYPE EnvioDTE [<!ENTITY a \"aaaa\">]><EnvioDTE");
  EXPECT_EQ(ErrorOf([&] { LeerEnvioDte(bomb); }),
            "el documento declara entidades XML, que no se admiten");
  EXPECT_EQ(ErrorOf([] { LeerEnvioDte(Envelope("EnvioDTE", "", {})); }),
            "el sobre no contiene ningún DTE");
}

}  // namespace
}  // namespace QuarloCliente
