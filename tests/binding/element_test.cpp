#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <string>
#include <vector>

#include "support/error_of.hpp"

namespace QuarloCliente {
namespace {

std::vector<std::string> Names(const std::vector<std::shared_ptr<BindingElement>>& elements) {
  std::vector<std::string> names;
  for (const auto& element : elements) names.push_back(element->Name());
  return names;
}

using testing::ErrorOf;

TEST(BindingElementTest, NewFormHoldsItsMandatoryPartsButNoChoiceOrSignature) {
  auto dte = std::make_shared<DteDocumentBinding>();
  EXPECT_EQ(dte->Version().ToString(), "1.0");
  EXPECT_EQ(dte->Documento(), nullptr);
  EXPECT_EQ(dte->Liquidacion(), nullptr);
  EXPECT_EQ(dte->Exportaciones(), nullptr);
  EXPECT_TRUE(dte->Children().empty());

  auto doc = dte->CrearDocumento();
  EXPECT_EQ(Names(doc->Children()), (std::vector<std::string>{"Encabezado", "TED"}));
  EXPECT_EQ(Names(doc->Encabezado()->Children()),
            (std::vector<std::string>{"IdDoc", "Emisor", "Receptor", "Totales"}));
  auto ted = doc->TED();
  EXPECT_EQ(ted->Version(), "1.0");
  EXPECT_EQ(ted->DD()->CAF()->Version(), "1.0");
  EXPECT_EQ(ted->DD()->CAF()->FRMA()->Algoritmo(), "SHA1withRSA");
  EXPECT_NE(ted->DD()->CAF()->DA()->RNG(), nullptr);
  EXPECT_NE(ted->FRMT(), nullptr);
  EXPECT_EQ(ted->DD()->CAF()->DA()->RSAPK(), nullptr);
  EXPECT_FALSE(dte->Has("Signature"));
  EXPECT_TRUE(doc->Detalles().empty());

  // Another form replaces the first one.
  auto exportacion = dte->CrearExportaciones();
  EXPECT_EQ(dte->Documento(), nullptr);
  EXPECT_NE(dte->Exportaciones(), nullptr);
  EXPECT_EQ(Names(dte->Children()), (std::vector<std::string>{"Exportaciones"}));
}

TEST(BindingElementTest, ElementsSetOutOfOrderLandInSchemaOrder) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  auto id_doc = doc->Encabezado()->IdDoc();
  id_doc->Set("FchVenc", BindingDateTime::FromDate(2024, 6, 1));
  id_doc->Set("FmaPago", 2);
  id_doc->SetFchEmis(BindingDateTime::FromDate(2024, 5, 2));
  id_doc->SetFolio(1523);
  id_doc->SetTipoDTE(TipoDTEDocumento::FacturaElectronica);
  id_doc->Set("IndServicio", 3);
  EXPECT_EQ(Names(id_doc->Children()),
            (std::vector<std::string>{"TipoDTE", "Folio", "FchEmis", "IndServicio", "FmaPago",
                                      "FchVenc"}));

  // Whole branches too: a Referencia asked for before the Detalle goes after it, and the
  // optional Transporte goes between Receptor and Totales.
  doc->Set("Referencia/RazonRef", "Orden de compra");
  doc->Set("Detalle/NmbItem", "Cemento");
  doc->Set("Encabezado/Transporte/Patente", "ABCD12");
  doc->SetTmstFirma(BindingDateTime::FromDateTime(2024, 5, 2, 10, 0, 0));
  EXPECT_EQ(Names(doc->Children()),
            (std::vector<std::string>{"Encabezado", "Detalle", "Referencia", "TED", "TmstFirma"}));
  EXPECT_EQ(Names(doc->Encabezado()->Children()),
            (std::vector<std::string>{"IdDoc", "Emisor", "Receptor", "Transporte", "Totales"}));
  EXPECT_EQ(doc->Get("Encabezado/Transporte/Patente"), "ABCD12");

  auto da = doc->TED()->DD()->CAF()->DA();
  da->SetIDK(300);
  da->SetFA(BindingDateTime::FromDate(2010, 1, 1));
  da->CrearRSAPK()->SetE("AQAB").SetM("==");
  da->RNG()->SetH(100).SetD(1);
  da->SetTD(TipoDTEDocumento::FacturaElectronica).SetRS("A").SetRE("76543210-3");
  EXPECT_EQ(Names(da->Children()),
            (std::vector<std::string>{"RE", "RS", "TD", "RNG", "FA", "RSAPK", "IDK"}));
  EXPECT_EQ(Names(da->RNG()->Children()), (std::vector<std::string>{"D", "H"}));
  EXPECT_EQ(da->RSAPK()->M(), "");
  EXPECT_EQ(da->RSAPK()->E(), "AQAB");
}

TEST(BindingElementTest, RepeatedElementsAppendInOrderUpToTheirMaximum) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  auto referencia = doc->AgregarReferencia();
  for (int line = 1; line <= 3; ++line) {
    doc->AgregarDetalle()->SetNroLinDet(line).SetNmbItem("Item " + std::to_string(line));
  }
  EXPECT_EQ(Names(doc->Children()), (std::vector<std::string>{"Encabezado", "Detalle", "Detalle",
                                                              "Detalle", "Referencia", "TED"}));
  EXPECT_EQ(doc->Detalle(1)->NmbItem(), "Item 1");
  EXPECT_EQ(doc->Detalle(3)->NroLinDet(), BindingInteger(3));
  EXPECT_EQ(doc->Get("Detalle[2]/NmbItem"), "Item 2");
  EXPECT_EQ(doc->Count("Detalle"), 3u);
  EXPECT_EQ(ErrorOf([&] { doc->Detalle(4); }),
            "no existe el elemento Detalle número 4 en Documento (hay 3)");

  // An index one past the end appends; further is refused.
  doc->Set("Detalle[4]/NmbItem", "Item 4");
  EXPECT_EQ(doc->Count("Detalle"), 4u);
  EXPECT_EQ(ErrorOf([&] { doc->Set("Detalle[6]/NmbItem", "x"); }),
            "no se puede crear Detalle[6]: Documento tiene 4 elementos Detalle");

  while (doc->Count("Detalle") < 60) doc->AgregarDetalle();
  EXPECT_EQ(ErrorOf([&] { doc->AgregarDetalle(); }),
            "Documento admite como máximo 60 elementos Detalle");
  EXPECT_EQ(ErrorOf([&] {
              doc->Append("TmstFirma");
              doc->Append("TmstFirma");
            }),
            "Documento ya contiene el elemento TmstFirma");
}

TEST(BindingElementTest, ChoiceMembersExcludeEachOther) {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  auto da = boleta->Documento()->TED()->DD()->CAF()->DA();
  da->CrearDSAPK()->SetBase64("P", "AQID");
  EXPECT_EQ(ErrorOf([&] { da->Element("RSAPK"); }), "DA ya contiene DSAPK, que excluye a RSAPK");
  auto rsa = da->CrearRSAPK();
  EXPECT_EQ(da->DSAPK(), nullptr);
  EXPECT_TRUE(rsa->SameAs(*da->RSAPK()));

  auto libro = std::make_shared<LibroCompraVentaBinding>();
  auto envio = libro->EnvioLibro();
  envio->CrearLceCoCertif()->SetVersion("1");
  EXPECT_EQ(envio->LceCoCertif()->DocumentoCoCertif()->LceCal()->Version(), "1.0");
  envio->CrearLceCal();
  EXPECT_EQ(envio->LceCoCertif(), nullptr);
  EXPECT_NE(envio->LceCal(), nullptr);
  EXPECT_EQ(envio->LceCal()->NamespaceUri(), "http://www.sii.cl/SiiLce");
}

TEST(BindingElementTest, ValuesAreCheckedAgainstTheirSchemaType) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  auto id_doc = doc->Encabezado()->IdDoc();
  EXPECT_EQ(ErrorOf([&] { id_doc->SetFolio(0); }),
            "valor de Folio: el valor 0 es menor que el mínimo 1");
  EXPECT_EQ(ErrorOf([&] { id_doc->SetFolio(BindingInteger("12345678901")); }),
            "valor de Folio: el valor tiene 11 dígitos y el máximo es 10");
  EXPECT_EQ(ErrorOf([&] { id_doc->Set("TipoDTE", "39"); }),
            "valor de TipoDTE: el valor 39 no es uno de los permitidos (33, 34, 46, 52, 56, 61)");
  EXPECT_EQ(ErrorOf([&] { id_doc->Set("FchEmis", "2024-02-30"); }),
            "valor de FchEmis: '2024-02-30' no es una fecha AAAA-MM-DD válida");
  EXPECT_EQ(ErrorOf([&] { id_doc->SetFchEmis(BindingDateTime::FromDate(1999, 12, 31)); }),
            "valor de FchEmis: la fecha 1999-12-31 es anterior al mínimo 2000-01-01");
  EXPECT_EQ(
      ErrorOf([&] { id_doc->SetFchEmis(BindingDateTime::FromDateTime(2024, 5, 2, 10, 0, 0)); }),
      "valor de FchEmis: debe ser una fecha (AAAA-MM-DD) y 2024-05-02T10:00:00 es una "
      "fecha y hora (AAAA-MM-DDTHH:MM:SS)");
  EXPECT_EQ(ErrorOf([&] { doc->Encabezado()->Emisor()->SetRUTEmisor("7654321-k"); }),
            "valor de RUTEmisor: '7654321-k' no tiene la forma [0-9]+-([0-9]|K)");
  EXPECT_EQ(ErrorOf([&] { doc->Encabezado()->Emisor()->SetRUTEmisor("76.543.210-3"); }),
            "valor de RUTEmisor: el texto tiene 12 caracteres y el máximo es 10");
  EXPECT_EQ(ErrorOf([&] { doc->TED()->DD()->SetRSR(std::string(41, 'x')); }),
            "valor de RSR: el texto tiene 41 caracteres y el máximo es 40");
  EXPECT_EQ(ErrorOf([&] { doc->TED()->FRMT()->SetAlgoritmo("MD5"); }),
            "atributo algoritmo de FRMT: 'MD5' no es uno de los valores permitidos (SHA1withRSA, "
            "SHA1withDSA)");
  EXPECT_EQ(ErrorOf([&] { doc->TED()->SetVersion("2.0"); }),
            "atributo version de TED: debe valer 1.0");
  EXPECT_EQ(ErrorOf([&] { doc->SetAttribute("Id", "x"); }),
            "Documento no tiene el atributo Id en su esquema");
  EXPECT_EQ(ErrorOf([&] { doc->Set("Encabezado/Emisor/Giro", "x"); }),
            "el esquema no admite el elemento Giro dentro de Emisor");
  EXPECT_EQ(ErrorOf([&] { doc->Set("Encabezado", "x"); }),
            "Encabezado contiene elementos y no guarda un valor");
  EXPECT_EQ(ErrorOf([&] {
              doc->Set("Encabezado/Receptor/RznSocRecep",
                       "A\x01"
                       "B");
            }),
            "valor de RznSocRecep: el texto contiene el carácter U+0001, que XML no admite");
  EXPECT_EQ(ErrorOf([&] { doc->Set("Encabezado/Receptor/RznSocRecep", "\xC3"); }),
            "valor de RznSocRecep: el texto no es UTF-8 válido");
  // A refused value leaves no trace, not even the elements created on its way.
  EXPECT_FALSE(id_doc->Has("Folio"));
  EXPECT_FALSE(doc->Encabezado()->Emisor()->Has("RUTEmisor"));
  EXPECT_EQ(doc->Encabezado()->Receptor()->Children().size(), 0u);
  EXPECT_EQ(ErrorOf([&] { doc->Set("Encabezado/Transporte/Aduana/CodModVenta", "x"); }),
            "valor de CodModVenta: 'x' no es un número entero");
  EXPECT_FALSE(doc->Encabezado()->Has("Transporte"));
  EXPECT_THROW(doc->Append("Referencia/Nada"), Error);
  EXPECT_FALSE(doc->Has("Referencia"));

  // Numbers of the other kind convert when they can.
  doc->Encabezado()->Totales()->Set("MntTotal", BindingDecimal("119000.00"));
  EXPECT_EQ(doc->Get("Encabezado/Totales/MntTotal"), "119000");
  EXPECT_EQ(ErrorOf([&] { doc->Encabezado()->Totales()->Set("MntTotal", BindingDecimal("1.5")); }),
            "valor de MntTotal: es un número entero y no admite 1.5");
  auto exportacion = dte->CrearExportaciones();
  exportacion->Encabezado()->Totales()->SetMntTotal(BindingDecimal("1500.50"));
  EXPECT_EQ(exportacion->Encabezado()->Totales()->MntTotal().ToString(), "1500.5");
}

// Under es_CL and de_DE (ctest runs this suite there too) a locale-bound writer would put a
// comma in these texts.
TEST(BindingElementTest, NumbersAreWrittenAsTheDecimalsTheyAre) {
  DteDocumentBinding dte;
  auto totales = dte.CrearDocumento()->Encabezado()->Totales();
  // TasaIVA: a decimal of 5 digits, 2 after the point.
  totales->Set("TasaIVA", 19.5);
  EXPECT_EQ(totales->Get("TasaIVA"), "19.5");
  totales->Set("TasaIVA", 19.456);
  EXPECT_EQ(totales->Get("TasaIVA"), "19.46");
  totales->Set("TasaIVA", 0.125);
  EXPECT_EQ(totales->Get("TasaIVA"), "0.13");
  totales->Set("TasaIVA", 9.996);
  EXPECT_EQ(totales->Get("TasaIVA"), "10");
  totales->Set("TasaIVA", 0.1f);
  EXPECT_EQ(totales->Get("TasaIVA"), "0.1");
  totales->Set("TasaIVA", 19);
  EXPECT_EQ(totales->Get("TasaIVA"), "19");
  EXPECT_EQ(ErrorOf([&] { totales->Set("TasaIVA", 1234.5); }),
            "valor de TasaIVA: el valor 1234.5 es mayor que el máximo 999.99");

  // MntTotal: an integer element takes a whole double and refuses a fraction by name.
  totales->Set("MntTotal", 119000.0);
  EXPECT_EQ(totales->Get("MntTotal"), "119000");
  EXPECT_EQ(ErrorOf([&] { totales->Set("MntTotal", 19.5); }),
            "valor de MntTotal: es un número entero y no admite 19.5");
  EXPECT_EQ(ErrorOf([&] { totales->Set("MntTotal", std::nan("")); }),
            "valor de MntTotal: NaN no es un número");
  EXPECT_EQ(ErrorOf([&] { totales->Set("TasaIVA", -HUGE_VAL); }),
            "valor de TasaIVA: un infinito no es un número");
  EXPECT_EQ(totales->Get("MntTotal"), "119000");

  // Every integer type reaches the integer setter whole, with no ambiguity.
  totales->Set("MntTotal", 4000000000u);
  EXPECT_EQ(totales->Get("MntTotal"), "4000000000");
  totales->Set("MntTotal", 9007199254740993LL);
  EXPECT_EQ(totales->Get("MntTotal"), "9007199254740993");
  totales->Set("MntTotal", std::size_t{12}).Set("MntNeto", 10ul);
  EXPECT_EQ(totales->Get("MntTotal"), "12");
  EXPECT_EQ(totales->Get("MntNeto"), "10");
}

TEST(BindingElementTest, PathsReadAndRemoveWithoutCreating) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  EXPECT_EQ(ErrorOf([&] { doc->Get("Encabezado/IdDoc/Folio"); }),
            "falta el elemento Folio en IdDoc");
  EXPECT_EQ(ErrorOf([&] { doc->Get("Encabezado/Transporte/Patente"); }),
            "falta el elemento Transporte en Encabezado");
  EXPECT_EQ(ErrorOf([&] { doc->Get("@ID"); }), "falta el atributo ID en Documento");
  EXPECT_EQ(doc->Find("Encabezado/Transporte/Patente"), nullptr);
  EXPECT_FALSE(doc->Encabezado()->Has("Transporte"));
  EXPECT_TRUE(doc->FindAll("Detalle").empty());

  // A step's name is read up to the first byte no name holds, which must end the step or open
  // its index.
  for (const char* bad : {"a//b",
                          "/a",
                          "a/",
                          "Detalle[0]",
                          "Detalle[x]",
                          "@ID/x",
                          "1a",
                          "a[2",
                          "@",
                          "@ID[1]",
                          "a b",
                          "a]",
                          "Detalle[1]x",
                          "Detalle[1]]",
                          "Detalle[+1]",
                          "Detalle[1/2]",
                          "Detalle[1000000000]",
                          "Detalle[1]/",
                          "-a",
                          "a:b"}) {
    EXPECT_EQ(ErrorOf([&] { doc->Find(bad); }), "la ruta '" + std::string(bad) + "' no es válida")
        << bad;
  }
  EXPECT_EQ(doc->Find("Detalle[999999999]/NroLinDet"), nullptr);
  Personalizados campos;
  campos.Set("_a.b-1/Año/@ñ", "v");
  EXPECT_EQ(campos.Get("_a.b-1[1]/Año/@ñ"), "v");

  doc->Set("@ID", "ID_1").Set("Encabezado/IdDoc/Folio", 7);
  EXPECT_EQ(doc->ID(), "ID_1");
  EXPECT_TRUE(doc->Has("@ID"));
  auto folio = doc->Find("Encabezado/IdDoc/Folio");
  ASSERT_NE(folio, nullptr);
  EXPECT_EQ(folio->Parent()->Name(), "IdDoc");
  EXPECT_TRUE(doc->Remove("Encabezado/IdDoc/Folio"));
  EXPECT_FALSE(doc->Remove("Encabezado/IdDoc/Folio"));
  EXPECT_EQ(folio->Parent(), nullptr);
  EXPECT_EQ(folio->Text(), "7");
  EXPECT_TRUE(doc->Remove("@ID"));
  EXPECT_FALSE(doc->Attribute("ID").has_value());
}

TEST(BindingElementTest, Base64ValuesTakeDoubleEqualsAsEmpty) {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  auto caf = boleta->Documento()->TED()->DD()->CAF();
  caf->FRMA()->SetValor("==");
  EXPECT_EQ(caf->FRMA()->Valor(), "");
  caf->FRMA()->SetValor("AQID\nBA==");
  EXPECT_EQ(caf->FRMA()->Valor(), "AQIDBA==");
  EXPECT_EQ(caf->GetBytes("FRMA"), (Bytes{1, 2, 3, 4}));
  caf->DA()->CrearRSAPK()->SetM("==").SetE("==");
  EXPECT_EQ(caf->DA()->RSAPK()->M(), "");
  caf->DA()->RSAPK()->SetBytes("M", Bytes{0xFF, 0x00});
  EXPECT_EQ(caf->DA()->RSAPK()->M(), "/wA=");
  EXPECT_EQ(
      ErrorOf([&] { caf->DA()->RSAPK()->SetE("AQ*D"); }).rfind("el valor para E no es Base64: ", 0),
      0u);
}

TEST(BindingElementTest, ProblemsListWhatTheSchemaStillNeeds) {
  auto dte = std::make_shared<DteDocumentBinding>();
  EXPECT_EQ(
      dte->Problems(),
      (std::vector<std::string>{"DTE: falta uno de Documento, Liquidacion, Exportaciones en DTE"}));
  auto doc = dte->CrearDocumento();
  const auto problems = dte->Problems();
  const auto has = [&](const std::string& text) {
    return std::find(problems.begin(), problems.end(), text) != problems.end();
  };
  EXPECT_TRUE(has("DTE/Documento: falta el atributo ID de Documento"));
  EXPECT_TRUE(has("DTE/Documento: falta el elemento Detalle en Documento"));
  EXPECT_TRUE(has("DTE/Documento/Encabezado/IdDoc: falta el elemento TipoDTE en IdDoc"));
  EXPECT_TRUE(has("DTE/Documento/TED/DD/CAF/DA: falta uno de RSAPK, DSAPK en DA"));
  EXPECT_FALSE(has("DTE: falta el elemento Signature en DTE"));
  EXPECT_EQ(ErrorOf([&] { dte->Validate(); }), problems.front());
}

TEST(PersonalizadosTest, HoldsFreeFormFieldsInTheOrderGiven) {
  auto campos = std::make_shared<Personalizados>();
  campos->Set("Vendedor", "María").Set("Sucursal/Codigo", "12").Set("Sucursal/@tipo", "tienda");
  campos->Append("Nota")->SetText("primera");
  campos->Append("Nota")->SetText("segunda");
  EXPECT_EQ(Names(campos->Children()),
            (std::vector<std::string>{"Vendedor", "Sucursal", "Nota", "Nota"}));
  EXPECT_EQ(campos->Get("Sucursal/@tipo"), "tienda");
  EXPECT_EQ(campos->Get("Nota[2]"), "segunda");
  EXPECT_FALSE(campos->IsDeclared());
  EXPECT_TRUE(campos->Problems().empty());

  auto dte = std::make_shared<DteDocumentBinding>();
  EXPECT_EQ(dte->Personalizados(), nullptr);
  dte->SetPersonalizados(campos);
  EXPECT_EQ(dte->Personalizados(), campos);
  EXPECT_EQ(dte->ToXml(std::make_shared<BindingContext>()).find("Vendedor"), std::string::npos);
}

}  // namespace
}  // namespace QuarloCliente
