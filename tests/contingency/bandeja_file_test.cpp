#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <quarlo/timbre.hpp>

#include "outbox_fixture.hpp"

namespace QuarloCliente::testing {
namespace {

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void RunSql(const std::filesystem::path& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST_F(OutboxTest, FilesAreOwnerOnlyAndIssuedDocumentsSurviveReopening) {
  std::vector<EmisionLocal> issued;
  {
    auto bandeja = Ready();
    for (int i = 0; i < 3; ++i) issued.push_back(bandeja->EmitirBoleta(TestBoleta()));
    // While the outbox is open its WAL and shared-memory files exist beside it.
    EXPECT_EQ(ModeOf(path_), 0600);
    EXPECT_EQ(ModeOf(path_.string() + "-wal"), 0600);
    EXPECT_EQ(ModeOf(path_.string() + "-shm"), 0600);
  }
  BandejaSalida reopened(path_.string());
  EXPECT_EQ(reopened.Conteo().pendientes, 4) << "the CAF upload and three boletas";
  EXPECT_EQ(reopened.FoliosRestantes("76981442-6", 39), 997);
  for (const EmisionLocal& boleta : issued) {
    const DocumentoGuardado stored = reopened.Documento("76981442-6", 39, boleta.folio);
    EXPECT_EQ(stored.ted, boleta.ted);
    EXPECT_EQ(stored.pdf417Png, boleta.pdf417Png);
    auto document = std::make_shared<BoletaDocumentBinding>();
    document->Load(stored.xml, detail::StrictLoadingContext());
    EXPECT_TRUE(VerificarTimbreBoleta(stored.ted, *document).Valido) << stored.xml;
  }
  // The next folio follows the last one issued before closing.
  EXPECT_EQ(reopened.EmitirBoleta(TestBoleta()).folio, issued.back().folio + 1);
}

TEST_F(OutboxTest, FilesThatAreNotThisVersionsOutboxAreRefusedAndLeftAlone) {
  { BandejaSalida created(path_.string()); }
  RunSql(path_, "PRAGMA user_version = 2");
  EXPECT_NE(ErrorOf([&] {
              BandejaSalida newer(path_.string());
            }).find("versión más reciente de la biblioteca (esquema 2"),
            std::string::npos);

  const auto text = dir_ / "notas.txt";
  std::ofstream(text) << std::string(5000, 'x') << "no es una base de datos";
  const std::string before = FileBytes(text);
  EXPECT_NE(ErrorOf([&] {
              BandejaSalida notSqlite(text.string());
            }).find("no es una base de datos SQLite"),
            std::string::npos);
  EXPECT_EQ(FileBytes(text), before);
  EXPECT_FALSE(std::filesystem::exists(text.string() + "-wal"));

  const auto other = dir_ / "otra.db";
  RunSql(other, "CREATE TABLE clientes(rut TEXT)");
  EXPECT_NE(ErrorOf([&] { BandejaSalida foreign(other.string()); }).find("no es una bandeja"),
            std::string::npos);
}

TEST_F(OutboxTest, CafsMustHoldTheirKeyNotOverlapAndWarnWhenFoliosRunLow) {
  BandejaSalida bandeja(path_.string());
  bandeja.Configurar("T", "2014-08-22", 80);
  std::string withoutKey = ReadTestData("ted/caf_33.xml");
  withoutKey.erase(withoutKey.find("<RSASK>"),
                   withoutKey.find("</RSASK>") + 8 - withoutKey.find("<RSASK>"));
  EXPECT_NE(ErrorOf([&] {
              bandeja.RegistrarCaf(Bytes(withoutKey.begin(), withoutKey.end()));
            }).find("no contiene la clave privada"),
            std::string::npos);

  bandeja.RegistrarCaf(CafBytes("caf_33.xml"));
  EXPECT_NE(ErrorOf([&] { bandeja.RegistrarCaf(CafBytes("caf_33.xml")); }).find("se superpone"),
            std::string::npos);
  ASSERT_EQ(bandeja.Cafs().size(), 1u);
  EXPECT_EQ(bandeja.Conteo().pendientes, 1) << "one upload queued, none for the refused CAFs";

  // 100 folios: 10% is below 50, so the warning starts with fewer than 10 left.
  EXPECT_EQ(bandeja.AvisoFolios("76543210-3", 33), "");
  for (int i = 0; i < 90; ++i) EXPECT_EQ(bandeja.EmitirDTE(TestFactura()).aviso, "");
  EXPECT_EQ(bandeja.EmitirDTE(TestFactura()).aviso,
            "Quedan 9 folios del tipo 33 para el emisor 76543210-3; registre un CAF nuevo antes "
            "de que se agoten");
  bandeja.ConfigurarAvisoFolios(10, 5);
  EXPECT_EQ(bandeja.AvisoFolios("76543210-3", 33), "");
  for (int i = 0; i < 9; ++i) bandeja.EmitirDTE(TestFactura());
  EXPECT_EQ(bandeja.FoliosRestantes("76543210-3", 33), 0);
  EXPECT_EQ(bandeja.Cafs()[0].siguiente, 1601);
  EXPECT_EQ(ErrorOf([&] { bandeja.EmitirDTE(TestFactura()); }),
            "Bandeja de salida: no quedan folios del tipo 33 para el emisor 76543210-3; registre "
            "un CAF nuevo de ese emisor y tipo con RegistrarCaf");
}

TEST_F(OutboxTest, AFailedIssueTakesNoFolioAndLeavesTheDocumentAsItWas) {
  auto bandeja = Ready();
  EXPECT_EQ(bandeja->EmitirBoleta(TestBoleta()).folio, 4001);

  // No line to stamp: the stamp fails after the folio was written into the document.
  auto broken = TestBoleta();
  while (broken->Documento()->Remove("Detalle")) {
  }
  broken->Documento()->Encabezado()->IdDoc()->Remove("FchEmis");
  EXPECT_NE(ErrorOf([&] { bandeja->EmitirBoleta(broken); }), "sin error");
  EXPECT_EQ(broken->Documento()->Encabezado()->IdDoc()->Folio(), BindingInteger(4017));
  EXPECT_FALSE(broken->Documento()->Encabezado()->IdDoc()->Has("FchEmis"));
  EXPECT_EQ(bandeja->Conteo().pendientes, 2);

  // A folio queued from elsewhere inside the CAF's range is passed over, never issued twice.
  auto elsewhere = TestBoleta();
  elsewhere->Documento()->Encabezado()->IdDoc()->SetFolio(4002);
  bandeja->EncolarBoleta(elsewhere, ReadTestData("ted/ted_39.xml"));
  EXPECT_NE(ErrorOf([&] { bandeja->EncolarBoleta(elsewhere, "<TED/>"); }).find("ya hay"),
            std::string::npos);

  // A document without a date gets today's; one with a date keeps it.
  auto undated = TestBoleta();
  undated->Documento()->Encabezado()->IdDoc()->Remove("FchEmis");
  const EmisionLocal next = bandeja->EmitirBoleta(undated);
  EXPECT_EQ(next.folio, 4003);
  EXPECT_EQ(undated->Documento()->Encabezado()->IdDoc()->FchEmis().Format("yyyy-MM-dd"),
            FormatDate(Now(), "yyyy-MM-dd"));
  auto dated = TestBoleta();
  bandeja->EmitirBoleta(dated);
  EXPECT_EQ(dated->Documento()->Encabezado()->IdDoc()->FchEmis().Format("yyyy-MM-dd"),
            "2024-05-02");
  EXPECT_EQ(dated->Documento()->Encabezado()->IdDoc()->Folio(), BindingInteger(4004));
}

TEST_F(OutboxTest, UnconfiguredOutboxRefusesToIssue) {
  BandejaSalida bandeja(path_.string());
  bandeja.RegistrarCaf(CafBytes("caf_39.xml"));
  EXPECT_NE(ErrorOf([&] { bandeja.EmitirBoleta(TestBoleta()); }).find("Configurar"),
            std::string::npos);
  EXPECT_EQ(bandeja.FoliosRestantes("76981442-6", 39), 1000);
}

}  // namespace
}  // namespace QuarloCliente::testing
