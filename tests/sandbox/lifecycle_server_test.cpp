// What happens to a document after it was stamped: status and tracking, retrieval, voids,
// commercial answers, cessions, search and reconciliation, and the books and folio reports.

#include <gtest/gtest.h>

#include <quarlo/binding.hpp>

#include "server_harness.hpp"

namespace QuarloSandbox::testing {
namespace {

const std::string kFactura = "/T/" + std::string(kIssuer) + "/33/";

class SandboxLifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadCaf(sandbox_, kIssuer, 33, 1, 100);
    ASSERT_TRUE(sandbox_.Post("/SendDTEDocument", SendBody(FacturaContent(1))).Ok());
  }

  Reply Recover(const std::string& tipo, const std::string& folio, const char* rut = kIssuer,
                const char* forDistribution = "False") {
    return sandbox_.Post("/RecoverXML_V2",
                         Body("RecoverXMLRequest", {{"Environment", "T"},
                                                    {"Group", "E"},
                                                    {"Rut", rut},
                                                    {"DocType", tipo},
                                                    {"Folio", folio},
                                                    {"IsForDistribution", forDistribution}}));
  }
  Reply Respond(const std::string& type, const std::string& action) {
    return sandbox_.Post("/SendComercialResponse",
                         Body("ACKStatusRequest", {{"Environment", "T"},
                                                   {"RutEmisor", kIssuer},
                                                   {"DTEType", "33"},
                                                   {"Folio", "1"},
                                                   {"ContactName", "Ignacio Peña"},
                                                   {"ContactPhone", "+56 2 2222 3333"},
                                                   {"ContactEmail", "dte@lospenascos.cl"},
                                                   {"Observations", "Conforme <total>"},
                                                   {"ResponseType", type},
                                                   {"Action", action}}));
  }
  Reply Search(const std::string& query, int page = 1, int size = 10) {
    return sandbox_.Post("/PaginatedSearch",
                         Body("SearchRequest", {{"Environment", "T"},
                                                {"Group", "E"},
                                                {"Query", IsoBase64Of(query)},
                                                {"Page", std::to_string(page)},
                                                {"PageSize", std::to_string(size)}}));
  }

  Sandbox sandbox_;
};

TEST_F(SandboxLifecycle, StatusAndTrackingMoveOneStepPerQueryToAccepted) {
  EXPECT_EQ(sandbox_.Get("/FiscalStatus/T/E/" + std::string(kIssuer) + "/33/1").Field("Status"),
            "VALIDADO");
  const Reply accepted = sandbox_.Get("/FiscalStatus/T/R/" + std::string(kIssuer) + "/33/1");
  EXPECT_EQ(accepted.Field("Status"), "ACEPTADO");
  EXPECT_FALSE(accepted.Field("TrackId").empty());
  EXPECT_NE(accepted.Field("Data").find("aceptado"), std::string::npos);

  const Reply tracking = sandbox_.Get("/TrackingByGroup" + kFactura + "1/E");
  ASSERT_TRUE(tracking.Ok()) << tracking;
  const std::string history = tracking.IsoField("Data");
  const auto doc = qd::ParseHeldXml(history);
  ASSERT_TRUE(doc) << history;
  EXPECT_EQ(qd::ElementsNamed(doc.get(), "EstadoTrack").size(), 3u) << history;
  EXPECT_NE(history.find("<Tracking id=\"" + accepted.Field("TrackId") + "\">"), std::string::npos);
  EXPECT_NE(history.find("<Estado>EPR</Estado>"), std::string::npos);
}

TEST_F(SandboxLifecycle, HandsTheDocumentBackInAnEnvelopeTheBindingLoads) {
  const Reply reply = Recover("33", "1");
  ASSERT_TRUE(reply.Ok()) << reply;
  const std::string xml = reply.IsoField("Data");
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u);
  const auto doc = qd::ParseHeldXml(xml);
  ASSERT_TRUE(doc);
  EXPECT_EQ(qd::WrittenName(xmlDocGetRootElement(doc.get())), "EnvioDTE");
  const auto dte = qd::ElementsNamed(doc.get(), "DTE");
  ASSERT_EQ(dte.size(), 1u);
  QuarloCliente::DteDocumentBinding binding;
  binding.Load(qd::OuterXml(dte.front()), std::make_shared<QuarloCliente::BindingContext>());
  EXPECT_NO_THROW(binding.Validate());
  const auto documento = binding.Documento();
  EXPECT_EQ(documento->Encabezado()->Receptor()->RznSocRecep(), "Constructora Los Peñascos SpA");
  EXPECT_EQ(documento->TED()->DD()->F().ToString(), "1");
  EXPECT_EQ(documento->ID(), "F1T33");
  EXPECT_NE(documento->TmstFirma().Year(), 2010) << "the placeholder time stamp is replaced";

  EXPECT_NE(xml.find("<RutReceptor>60803000-K</RutReceptor>"), std::string::npos);
  EXPECT_NE(Recover("33", "1", kIssuer, "True")
                .IsoField("Data")
                .find("<RutReceptor>" + std::string(kReceiver)),
            std::string::npos)
      << "a copy for distribution is addressed to the receiver";
  EXPECT_EQ(Recover("33", "2").status, 404);
  const Reply pdf = sandbox_.Get("/RecoverPDF_V2/T/E/" + std::string(kIssuer) + "/33/1");
  ASSERT_TRUE(pdf.Ok()) << pdf.status;
  const auto bytes = qd::DecodeBase64(pdf.Field("Data"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "%PDF-");
  EXPECT_TRUE(sandbox_.Get("/Print" + kFactura + "1/Oficina%20Central").Ok());
  EXPECT_EQ(sandbox_.Get("/Print" + kFactura + "1/").status, 400);
}

TEST_F(SandboxLifecycle, VoidsUnvoidsAndDeletes) {
  const Reply voided = sandbox_.Get("/VoidDocument" + kFactura + "1/error%20de%20precio%2Fmonto");
  ASSERT_TRUE(voided.Ok()) << voided;
  EXPECT_EQ(voided.Field("Status"), "ANULADO");
  EXPECT_EQ(sandbox_.Get("/FiscalStatus/T/E/" + std::string(kIssuer) + "/33/1").Field("Status"),
            "ANULADO");
  EXPECT_EQ(sandbox_.Get("/VoidDocument" + kFactura + "1/otra%20vez").status, 409);
  // Unvoided, it reports its fiscal status again: one status query moved it to VALIDADO.
  EXPECT_EQ(sandbox_.Get("/UnVoidDocument" + kFactura + "1/").Field("Status"), "VALIDADO");
  EXPECT_EQ(sandbox_.Get("/UnVoidDocument" + kFactura + "1/").status, 409);

  EXPECT_TRUE(sandbox_.Get("/DeleteDocument" + kFactura + "1").Ok());
  EXPECT_EQ(sandbox_.Get("/DeleteDocument" + kFactura + "1").status, 404);
  EXPECT_EQ(Recover("33", "1").status, 404);
  // A deleted document's folio stays used.
  EXPECT_EQ(sandbox_.Post("/SendDTEDocument", SendBody(FacturaContent(1))).status, 409);
}

TEST_F(SandboxLifecycle, RecordsCommercialAnswersAndReportsThem) {
  const Reply before =
      sandbox_.Get("/ComercialStatusOfDocument/T/R/" + std::string(kIssuer) + "/33/1/0");
  ASSERT_TRUE(before.Ok()) << before;
  EXPECT_EQ(before.Field("StatusCode"), "PEN");
  EXPECT_EQ(sandbox_
                .Post("/RecoverAckList", Body("RecoverAckListRequest", {{"Environment", "T"},
                                                                        {"Group", "R"},
                                                                        {"Rut", kIssuer},
                                                                        {"DocType", "33"},
                                                                        {"Folio", "1"}}))
                .Field("Data"),
            "?");

  EXPECT_EQ(Respond("R", "4").status, 400) << "an acceptance is not a rejection";
  ASSERT_TRUE(Respond("A", "0").Ok());
  ASSERT_TRUE(Respond("A", "4").Ok());
  EXPECT_EQ(Respond("R", "1").status, 409) << "accepted documents cannot be claimed";

  const Reply status =
      sandbox_.Get("/ComercialStatusOfDocument/T/R/" + std::string(kIssuer) + "/33/1/0");
  EXPECT_EQ(status.Field("StatusCode"), "ACD");
  EXPECT_EQ(status.Field("Estado"), "ACEPTADO");
  EXPECT_EQ(status.Field("ContactName"), "Ignacio Peña");
  EXPECT_EQ(status.Field("Observations"), "Conforme <total>");
  EXPECT_NE(status.Field("ACKXml").find("<RespuestaDTE"), std::string::npos);

  const Reply acks =
      sandbox_.Post("/RecoverAckList", Body("RecoverAckListRequest", {{"Environment", "T"},
                                                                      {"Group", "R"},
                                                                      {"Rut", kIssuer},
                                                                      {"DocType", "33"},
                                                                      {"Folio", "1"}}));
  const auto list = qd::ParseHeldXml(acks.IsoField("Data"));
  ASSERT_TRUE(list);
  const auto items = qd::ElementsNamed(list.get(), "ack");
  ASSERT_EQ(items.size(), 2u);
  const std::string receipt = qd::Latin1ToUtf8(qd::DecodeBase64(qd::NodeText(items[0])));
  EXPECT_NE(receipt.find("<Recibo"), std::string::npos) << receipt;
  EXPECT_NE(receipt.find("Ley 19.983"), std::string::npos);
}

TEST_F(SandboxLifecycle, CedesFacturasToRegisteredFactoringsAndReconcilesThem) {
  ASSERT_TRUE(sandbox_
                  .Post("/UpsertFactoring",
                        Body("UpsertFactoringRequest", {{"RUT", "96666666-6"},
                                                        {"SocialReason", "Factoring Andes S.A."},
                                                        {"Name", "Andes"},
                                                        {"Email", "cesiones@andes.cl"},
                                                        {"Address", "Apoquindo 1"}}))
                  .Ok());
  const Reply listed = sandbox_.Get("/GetFactorings");
  EXPECT_EQ(listed.Field("TotalDocuments"), "1");
  const std::string id = Reply{200, listed.IsoField("Data")}.Field("IDFactoring");

  const auto aec = [&](const std::string& folio) {
    return sandbox_.Post("/GenerateAec",
                         Body("GenerateAecRequest", {{"Environment", "T"},
                                                     {"Rut", kIssuer},
                                                     {"Type", "33"},
                                                     {"Folio", folio},
                                                     {"FactoringRut", ""},
                                                     {"UltimoVencimiento", "2024-06-01"},
                                                     {"PrevAecInBase64", ""},
                                                     {"FactoringEnterpriseID", id},
                                                     {"DireccionCedente", "Av. Irarrázaval 3456"},
                                                     {"EmailCedente", "cobranza@nunoa.cl"}}));
  };
  ASSERT_TRUE(aec("1").Ok());
  EXPECT_EQ(aec("9").status, 404);
  ASSERT_TRUE(sandbox_.Post("/SendDTEDocument", SendBody(FacturaContent(2))).Ok());
  ASSERT_TRUE(sandbox_.Get("/VoidDocument" + kFactura + "2/x").Ok());
  EXPECT_EQ(aec("2").status, 422) << "a voided factura is not ceded";

  const Reply cessions =
      sandbox_.Get("/ReconciliateCessions/T/96666666-6/2000-01-01/2999-12-31/2/secreto");
  ASSERT_TRUE(cessions.Ok()) << cessions;
  EXPECT_EQ(cessions.Field("TotalDocuments"), "1");
  const Reply cession{200, cessions.IsoField("Data")};
  EXPECT_EQ(cession.Field("FOLIO_DOC"), "1");
  EXPECT_EQ(cession.Field("RZ_CESIONARIO"), "Factoring Andes S.A.");
  EXPECT_EQ(cession.Field("DEUDOR"), kReceiver);
  EXPECT_EQ(sandbox_.Get("/ReconciliateCessions/T/96666666-6/2000-01-01/2999-12-31/1/secreto")
                .Field("TotalDocuments"),
            "0");

  const Reply received =
      sandbox_.Get("/Reconciliate/T/" + std::string(kReceiver) + "/20240501/20240531");
  ASSERT_TRUE(received.Ok()) << received;
  EXPECT_EQ(received.Field("TotalDocuments"), "2");
  const Reply documents{200, received.IsoField("Data")};
  EXPECT_EQ(documents.Field("RUTEmisor"), kIssuer);
  EXPECT_EQ(documents.Field("FolioRef801"), "OC-2024-0457");
  EXPECT_EQ(documents.Field("Conciliado"), "1");
  EXPECT_EQ(sandbox_.Get("/Reconciliate/T/" + std::string(kReceiver) + "/2024-06-01/2024-06-30")
                .Field("TotalDocuments"),
            "0");
  EXPECT_TRUE(sandbox_.Get("/DeleteFactoring/96666666-6").Ok());
  EXPECT_EQ(sandbox_.Get("/DeleteFactoring/96666666-6").status, 404);
}

TEST_F(SandboxLifecycle, SearchesWithTheQueryLanguageAndPages) {
  for (int folio = 2; folio <= 5; ++folio) {
    ASSERT_TRUE(sandbox_.Post("/SendDTEDocument", SendBody(FacturaContent(folio))).Ok());
  }
  ASSERT_TRUE(sandbox_.Get("/VoidDocument" + kFactura + "3/x").Ok());
  const auto total = [&](const std::string& query) {
    return Search(query).Field("TotalDocuments");
  };
  EXPECT_EQ(total(""), "5");
  EXPECT_EQ(total("tipo:33 folio:2..4"), "3");
  EXPECT_EQ(total("PENASCOS"), "5") << "free text ignores case and accents";
  EXPECT_EQ(total("\"los peñascos\" estado:vigente"), "4");
  EXPECT_EQ(total("fecha:2024-05-02 emisor:" + std::string(kIssuer)), "5");
  EXPECT_EQ(total("fecha:..2024-05-01"), "0");
  EXPECT_EQ(total("receptor:11111111-1"), "0");
  EXPECT_EQ(total("monto:1448706"), "5");

  const Reply page = Search("", 3, 2);
  ASSERT_TRUE(page.Ok()) << page;
  const auto doc = qd::ParseHeldXml(page.IsoField("Data"));
  const auto found = qd::ElementsNamed(doc.get(), "document");
  ASSERT_EQ(found.size(), 1u) << "the last of three pages of two";
  EXPECT_EQ(qd::NodeText(qd::SelectFirstElement(doc.get(), "//TimeStamp")).size(), 19u);
  EXPECT_EQ(Search("", 0).status, 400);
}

TEST_F(SandboxLifecycle, KeepsBooksUnderTheirPeriodCodeAndDeletesThem) {
  const std::string book = SalesBook();
  const std::string body = SalesBookBody();
  ASSERT_TRUE(sandbox_.Post("/SendLibroCompraVenta", body).Ok());
  const std::string path = "/T/E/" + std::string(kIssuer) + "/VENTA/202405130";
  EXPECT_EQ(sandbox_.Get("/FiscalStatus" + path).Field("Status"), "VALIDADO");
  const Reply stored = Recover("VENTA", "202405130");
  EXPECT_NE(stored.IsoField("Data").find("<RutEnvia>" + std::string(kIssuer)), std::string::npos)
      << "the service writes the cover from the request";
  EXPECT_TRUE(sandbox_.Get("/DeleteDocument/T/" + std::string(kIssuer) + "/VENTA/202405130").Ok());
  EXPECT_EQ(sandbox_.Get("/FiscalStatus" + path).status, 404);

  const std::string wrongRoot = Body("SendLibroGuiaRequest", {{"Environment", "T"},
                                                              {"Content", Base64Of(book)},
                                                              {"ResolutionDate", "2016-03-18"},
                                                              {"ResolutionNumber", "34"},
                                                              {"RutEmisorLibro", kIssuer},
                                                              {"PeriodoTributario", "2024-05"},
                                                              {"TipoLibro", "ESPECIAL"},
                                                              {"TipoEnvio", "TOTAL"},
                                                              {"NroSegmento", "0"},
                                                              {"FolioNotificacion", "0"}});
  EXPECT_EQ(sandbox_.Post("/SendLibroGuia", wrongRoot).status, 400);
}

TEST_F(SandboxLifecycle, GeneratesTheDaysFolioReportFromStoredBoletasAndVoidedRanges) {
  LoadCaf(sandbox_, kBoletaIssuer, 39, 4000, 4100);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(sandbox_.Post("/SendBoletaDocument", SendBody(BoletaContent(0))).Ok());
  }
  const auto generate = [&](const std::string& confirm) {
    return sandbox_.Post("/GenerateFolioConsume",
                         Body("GenerateFolioConsumeRequest",
                              {{"Environment", "T"},
                               {"Sender", kBoletaIssuer},
                               {"Date", "2024-05-02"},
                               {"AnnuledRanges", IsoBase64Of("1-39-4010-4012|1-41-3-3")},
                               {"AutoConfirm", confirm}}));
  };
  const Reply generated = generate("False");
  ASSERT_TRUE(generated.Ok()) << generated;
  EXPECT_EQ(generated.Field("Description"), "");
  const std::string path = std::string(kBoletaIssuer) + "/100/20240502";
  EXPECT_EQ(sandbox_.Get("/FiscalStatus/T/E/" + path).Field("Status"), "PENDIENTE");
  EXPECT_EQ(sandbox_.Get("/ConfirmDocument/T/" + path).Field("Status"), "RECIBIDO");

  const Reply report{200, Recover("100", "20240502", kBoletaIssuer).IsoField("Data")};
  EXPECT_EQ(report.Field("FoliosUtilizados"), "3");
  EXPECT_EQ(report.Field("FoliosAnulados"), "3");
  EXPECT_EQ(report.Field("MntTotal"), "63675");
  // The first range of the first Resumen (39) is the used one.
  EXPECT_EQ(report.Field("Inicial"), "4000") << report.body;
  EXPECT_EQ(report.Field("Final"), "4002");
  EXPECT_NE(report.body.find("<TipoDocumento>41</TipoDocumento>"), std::string::npos);
  EXPECT_NE(report.body.find("<FchResol>2014-08-22</FchResol>"), std::string::npos)
      << "the resolution of the day's boletas";
  // Voided folios are spent: no boleta can take one of them.
  const Reply next = sandbox_.Post("/SendBoletaDocument", SendBody(BoletaContent(4011)));
  EXPECT_EQ(next.status, 409) << next;
  const auto secEnvio = [&] {
    return Reply{200, Recover("100", "20240502", kBoletaIssuer).IsoField("Data")}.Field("SecEnvio");
  };
  EXPECT_EQ(secEnvio(), "1");
  ASSERT_TRUE(generate("True").Ok());
  EXPECT_EQ(secEnvio(), "2");
  EXPECT_EQ(sandbox_
                .Post("/GenerateFolioConsume",
                      Body("GenerateFolioConsumeRequest", {{"Environment", "T"},
                                                           {"Sender", kBoletaIssuer},
                                                           {"Date", "2024-05-02"},
                                                           {"AnnuledRanges", IsoBase64Of("1-33-1")},
                                                           {"AutoConfirm", "True"}}))
                .status,
            400);
  const auto valid = QuarloCliente::testing::ValidateSiiDocument(
      report.body, QuarloCliente::testing::SiiRoot::ConsumoFolios);
  EXPECT_TRUE(valid.valid) << valid.errors;
}

}  // namespace
}  // namespace QuarloSandbox::testing
