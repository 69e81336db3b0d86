// Submissions against the sandbox: CAFs, folios, the stamped TED and its barcode, several
// clients at once, and data that outlives the process.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "server_harness.hpp"
#include "service/ted.hpp"

namespace QuarloSandbox::testing {
namespace {

std::string TempDb(const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() /
                    (name + "-" + std::to_string(::getpid()) + ".sqlite");
  std::filesystem::remove(path);
  std::filesystem::remove(path.string() + "-wal");
  std::filesystem::remove(path.string() + "-shm");
  return path.string();
}

TEST(SandboxEmission, UploadsOnlyCafsItsAuthoritySignedAndNeverOverlapping) {
  const Sandbox sandbox;
  const Caf stranger = IssueTestCaf(kIssuer, "Otro", 33, 1, 10, AuthorityKey::Generate());
  const Reply refused = sandbox.Post("/UploadCaf", UploadBody(stranger.xml));
  EXPECT_EQ(refused.status, 422) << refused;
  EXPECT_NE(refused.Field("Description").find("no está firmado por la autoridad"),
            std::string::npos);

  const Caf caf = LoadCaf(sandbox, kIssuer, 33, 1, 10);
  EXPECT_TRUE(sandbox.Post("/UploadCaf", UploadBody(caf.xml)).Ok()) << "the same CAF again";
  const Caf overlapping = IssueTestCaf(kIssuer, "Emisor", 33, 5, 20, TestAuthority());
  EXPECT_EQ(sandbox.Post("/UploadCaf", UploadBody(overlapping.xml)).status, 409);
  const Reply notCaf = sandbox.Post("/UploadCaf", UploadBody("<AUTORIZACION/>"));
  EXPECT_EQ(notCaf.status, 400) << notCaf;
}

TEST(SandboxEmission, NumbersAFolioZeroFacturaFromTheCafAndStampsARealTed) {
  const Sandbox sandbox;
  const Caf caf = LoadCaf(sandbox, kIssuer, 33, 41, 42);
  const Reply reply = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0)));
  ASSERT_TRUE(reply.Ok()) << reply;
  EXPECT_EQ(reply.Field("Folio"), "41");
  const std::string ted = reply.IsoField("TED");
  EXPECT_TRUE(VerifyTed(ted)) << ted;
  const TedFields fields = ReadTed(ted);
  EXPECT_EQ(fields.f, "41");
  EXPECT_EQ(fields.re, kIssuer);
  EXPECT_EQ(fields.rr, kReceiver);
  EXPECT_EQ(fields.mnt, "1448706");
  EXPECT_EQ(fields.rsr, "Constructora Los Peñascos SpA");
  EXPECT_NE(ted.find(caf.modulusBase64), std::string::npos) << "the TED carries the CAF";
  const auto png = qd::DecodeBase64(reply.Field("PDF417"));
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

  const Reply font = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0), 1));
  ASSERT_TRUE(font.Ok()) << font;
  EXPECT_EQ(font.Field("Folio"), "42");
  EXPECT_NE(font.IsoField("PDF417").find("\r\n"), std::string::npos) << "font rows";

  const Reply exhausted = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0)));
  EXPECT_EQ(exhausted.status, 422) << exhausted;
  EXPECT_NE(exhausted.Field("Description").find("no quedan folios"), std::string::npos);
}

TEST(SandboxEmission, RefusesAUsedFolioAFolioOutsideEveryCafAndAnIssuerWithoutCaf) {
  const Sandbox sandbox;
  LoadCaf(sandbox, kIssuer, 33, 1, 10);
  ASSERT_TRUE(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(7))).Ok());
  const Reply used = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(7)));
  EXPECT_EQ(used.status, 409) << used;
  EXPECT_NE(used.Field("Description").find("el folio 7 ya fue usado"), std::string::npos);
  const Reply outside = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(11)));
  EXPECT_EQ(outside.status, 422) << outside;
  EXPECT_NE(outside.Field("Description").find("rangos 1-10"), std::string::npos);
  const Reply noCaf = sandbox.Post("/SendBoletaDocument", SendBody(BoletaContent(0)));
  EXPECT_EQ(noCaf.status, 422) << noCaf;
  EXPECT_NE(noCaf.Field("Description").find("no hay ningún CAF"), std::string::npos);
  // A refused submission takes no folio: the lowest free one is still 1.
  EXPECT_EQ(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0))).Field("Folio"), "1");
}

TEST(SandboxEmission, UsesATedTheCallerSendsWhenItHoldsAndRefusesOneThatDoesNot) {
  const Sandbox sandbox;
  const Caf caf = LoadCaf(sandbox, kIssuer, 33, 1, 10);
  TedFields fields{kIssuer,
                   "33",
                   "5",
                   "2024-05-02",
                   kReceiver,
                   "Constructora Los Peñascos",
                   "1448706",
                   "Cemento Polpaico",
                   "2024-05-02T09:00:00"};
  const std::string ted = StampTed(fields, caf);
  const Reply reply = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0), 2, ted));
  ASSERT_TRUE(reply.Ok()) << reply;
  EXPECT_EQ(reply.Field("Folio"), "5");
  EXPECT_EQ(reply.IsoField("TED"), ted);

  fields.f = "6";
  fields.mnt = "1";
  const Reply wrongAmount =
      sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0), 2, StampTed(fields, caf)));
  EXPECT_EQ(wrongAmount.status, 422) << wrongAmount;
  EXPECT_NE(wrongAmount.Field("Description").find("MNT 1"), std::string::npos);

  fields.mnt = "1448706";
  std::string forged = StampTed(fields, caf);
  forged.replace(forged.find("<F>6</F>"), 8, "<F>7</F>");
  const Reply badSignature =
      sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0), 2, forged));
  EXPECT_EQ(badSignature.status, 422) << badSignature;
  EXPECT_NE(badSignature.Field("Description").find("firma"), std::string::npos);
}

TEST(SandboxEmission, StampsBoletasSentAsUtf8) {
  const Sandbox sandbox;
  LoadCaf(sandbox, kBoletaIssuer, 39, 4000, 4100);
  const Reply reply = sandbox.Post("/SendBoletaDocument", SendBody(BoletaContent(0)));
  ASSERT_TRUE(reply.Ok()) << reply;
  EXPECT_EQ(reply.Field("Folio"), "4000");
  EXPECT_EQ(ReadTed(reply.IsoField("TED")).it1, "Marraqueta (kg)");
}

// The server reads a submission once, to count it, and the operation works on that reading:
// each answer must still come from its own request's body and checks, whichever worker served
// the request before it.
TEST(SandboxEmission, StampsEachSubmissionFromItsOwnBody) {
  const Sandbox sandbox;
  LoadCaf(sandbox, kBoletaIssuer, 39, 1, 100);
  LoadCaf(sandbox, kIssuer, 33, 1, 100);
  for (int round = 1; round <= 12; ++round) {
    const Reply boleta = sandbox.Post("/SendBoletaDocument", SendBody(BoletaContent(0)));
    ASSERT_TRUE(boleta.Ok()) << boleta;
    EXPECT_EQ(boleta.Field("Folio"), std::to_string(round));
    EXPECT_EQ(ReadTed(boleta.IsoField("TED")).td, "39");
    const Reply unreadable = sandbox.Post("/SendBoletaDocument", SendBody(Base64Of("<DTE")));
    EXPECT_EQ(unreadable.status, 400) << unreadable;
    const Reply factura = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0)));
    ASSERT_TRUE(factura.Ok()) << factura;
    EXPECT_EQ(ReadTed(factura.IsoField("TED")).re, kIssuer);
    EXPECT_EQ(ReadTed(factura.IsoField("TED")).td, "33");
    const Reply badColumns =
        sandbox.Post("/SendBoletaDocument", SendBody(BoletaContent(0), 2, "", 0));
    EXPECT_EQ(badColumns.status, 400) << badColumns;
    EXPECT_NE(badColumns.Field("Description").find("PDF417Columns"), std::string::npos);
  }
}

TEST(SandboxEmission, StampsTheExportAndLiquidacionFormsFromTheirOwnFields) {
  const Sandbox sandbox;
  LoadCaf(sandbox, "96812450-1", 110, 300, 400);
  LoadCaf(sandbox, "96705330-9", 43, 50, 60);
  const Reply exportacion =
      sandbox.Post("/SendDTEDocument", SendBody(DteContent("exportacion_110.xml", 0)));
  ASSERT_TRUE(exportacion.Ok()) << exportacion;
  const TedFields exported = ReadTed(exportacion.IsoField("TED"));
  EXPECT_EQ(exported.f, "300");
  EXPECT_EQ(exported.mnt, "18450.00") << "a decimal amount stays as written";
  EXPECT_EQ(exported.rr, "55555555-5");
  const Reply liquidacion =
      sandbox.Post("/SendDTEDocument", SendBody(DteContent("liquidacion_43.xml", 58)));
  ASSERT_TRUE(liquidacion.Ok()) << liquidacion;
  EXPECT_EQ(ReadTed(liquidacion.IsoField("TED")).fe, "2024-05-10");
  EXPECT_EQ(liquidacion.Field("Folio"), "58");
  // A DTE sent through the boleta path is not a boleta.
  EXPECT_EQ(
      sandbox.Post("/SendBoletaDocument", SendBody(DteContent("liquidacion_43.xml", 59))).status,
      400);
}

TEST(SandboxEmission, StoresDocumentsTheSiiSchemaAccepts) {
  const Sandbox sandbox;
  LoadCaf(sandbox, kIssuer, 33, 1, 10);
  LoadCaf(sandbox, kBoletaIssuer, 39, 1, 10);
  ASSERT_TRUE(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0))).Ok());
  ASSERT_TRUE(sandbox.Post("/SendBoletaDocument", SendBody(BoletaContent(0))).Ok());
  const auto stored = [&](const char* rut, const char* tipo) {
    const Reply reply =
        sandbox.Post("/RecoverXML_V2", Body("RecoverXMLRequest", {{"Environment", "T"},
                                                                  {"Group", "E"},
                                                                  {"Rut", rut},
                                                                  {"DocType", tipo},
                                                                  {"Folio", "1"},
                                                                  {"IsForDistribution", "True"}}));
    const auto doc = qd::ParseHeldXml(reply.IsoField("Data"));
    return qd::OuterXml(qd::ElementsNamed(doc.get(), "DTE").at(0));
  };
  const auto factura = QuarloCliente::testing::ValidateSiiDocument(
      stored(kIssuer, "33"), QuarloCliente::testing::SiiRoot::Dte);
  EXPECT_TRUE(factura.valid) << factura.errors;
  const auto boleta = QuarloCliente::testing::ValidateSiiDocument(
      stored(kBoletaIssuer, "39"), QuarloCliente::testing::SiiRoot::Boleta);
  EXPECT_TRUE(boleta.valid) << boleta.errors;
}

TEST(SandboxEmission, GivesEachFolioOnceToClientsSubmittingAtTheSameTime) {
  const std::string db = TempDb("sandbox-concurrent");
  const Sandbox sandbox(db);
  constexpr int kThreads = 8;
  constexpr int kEach = 6;
  LoadCaf(sandbox, kIssuer, 33, 1, kThreads * kEach);
  std::vector<std::vector<std::string>> folios(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const Reply reply = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0)));
        folios[static_cast<std::size_t>(t)].push_back(reply.Ok() ? reply.Field("Folio")
                                                                 : reply.body);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::string> distinct;
  for (const auto& list : folios) distinct.insert(list.begin(), list.end());
  ASSERT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kEach)) << *distinct.rbegin();
  for (int folio = 1; folio <= kThreads * kEach; ++folio) {
    EXPECT_TRUE(
        sandbox.Get("/FiscalStatus/T/E/" + std::string(kIssuer) + "/33/" + std::to_string(folio))
            .Ok())
        << folio;
  }
}

TEST(SandboxEmission, KeepsEverythingAcrossARestartWithTheSameDatabase) {
  const std::string db = TempDb("sandbox-restart");
  {
    const Sandbox first(db);
    LoadCaf(first, kIssuer, 33, 1, 5);
    ASSERT_TRUE(first.Post("/SendDTEDocument", SendBody(FacturaContent(0))).Ok());
  }
  const Sandbox second(db);
  EXPECT_TRUE(second.Get("/FiscalStatus/T/E/" + std::string(kIssuer) + "/33/1").Ok());
  const Reply next = second.Post("/SendDTEDocument", SendBody(FacturaContent(0)));
  EXPECT_EQ(next.Field("Folio"), "2") << next;
}

}  // namespace
}  // namespace QuarloSandbox::testing
