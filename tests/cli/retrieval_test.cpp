// What quarlo retrieves of a document (history, XML, PDF), its void, and the lists that search and
// reconciliation give, run against the test's sandbox.

#include <algorithm>
#include <set>

#include "cli_fixture.hpp"

namespace QuarloCliente::cli_tests {
namespace {

using integration::kAmbiente;
using integration::kApiKey;
using integration::kEmisor;
using integration::kReceptor;

const std::string kFactoring = "76111111-6";
const std::string kClaveSii = "clave-sii-secreta-Ñ";

class RetrievalTest : public CliTest {
 protected:
  // A --json run the service refused: status 1 and one record saying so.
  static void ExpectRefusal(const CliRun& run, const std::string& operacion) {
    EXPECT_EQ(run.status, 1) << operacion << ": " << run.out << run.err;
    const auto records = JsonLines(run.out);
    ASSERT_EQ(records.size(), 1u) << operacion << ": " << run.out;
    ExpectCommonFields(records[0]);
    EXPECT_EQ(records[0]["operacion"], operacion);
    EXPECT_EQ(records[0]["ok"], false);
    EXPECT_EQ(records[0]["fallo"], NombreFallo(TipoFallo::RechazoServicio));
  }
};

TEST_F(RetrievalTest, SeguimientoListsEveryStateOfTheHistoryInOrder) {
  SubirCaf(kEmisor, 33, 1, 10);
  const std::string folio = EmitirFactura();

  const CliRun first = Quarlo({"--json", "seguimiento", kEmisor, "33", folio});
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  const auto firstRecords = JsonLines(first.out);
  ASSERT_EQ(firstRecords.size(), 1u);
  const auto& record = firstRecords[0];
  ExpectCommonFields(record);
  EXPECT_EQ(record["operacion"], "seguimiento");
  EXPECT_EQ(record["folio"], folio);
  ASSERT_TRUE(record["estados"].is_array()) << record.dump();
  ASSERT_FALSE(record["estados"].empty());
  EXPECT_EQ(record["estados"][0]["estado"], "REC");
  EXPECT_EQ(record["estados"][0]["codigo"], 1);
  EXPECT_FALSE(record["estados"][0]["fecha"].get<std::string>().empty());
  EXPECT_EQ(record["estados"][0]["idSeguimiento"], record["idSeguimiento"]);

  // The sandbox moves the history one step per query: the next answer has one state more.
  const CliRun text = Quarlo({"seguimiento", kEmisor, "33", folio});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::size_t states = record["estados"].size() + 1;
  EXPECT_NE(text.out.find("estado " + std::to_string(states) + ":"), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find("estado " + std::to_string(states + 1) + ":"), std::string::npos);
  EXPECT_LT(text.out.find("REC"), text.out.find("SOK")) << text.out;

  ExpectRefusal(Quarlo({"--json", "seguimiento", kEmisor, "33", "9999"}), "seguimiento");
}

TEST_F(RetrievalTest, XmlGoesToStdoutToAFileOrIntoTheRecordAndAFailureNeverIntoTheDocument) {
  SubirCaf(kEmisor, 33, 1, 10);
  // A character beyond ISO-8859-1 travels as a reference and comes back as the character.
  auto factura = Factura();
  factura->Documento()->Detalle(1)->Set("NmbItem", "Cemento 25 kg, 5 € el saco");
  const auto sent = servicio_.EnviarDocumentoDTE_AutoFoliado(
      factura, kAmbiente, integration::kFechaResolucion, integration::kNroResolucion,
      servicio_.TipoPDF417_Grafico, true);
  integration::Require(sent->ResultadoServicio, "EnviarDocumentoDTE_AutoFoliado");
  const std::string folio = integration::FolioOf(sent->TED);
  const std::string folioElement = "<Folio>" + folio + "</Folio>";

  // The document is written in the encoding its declaration names, so it reads back as sent.
  const CliRun raw = Quarlo({"xml", kEmisor, "33", folio});
  EXPECT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(raw.out.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u)
      << raw.out.substr(0, 200);
  EXPECT_NE(raw.out.find(folioElement), std::string::npos);
  EXPECT_NE(raw.out.find("\xD1u\xF1oa"), std::string::npos) << "Ñuñoa as ISO-8859-1 bytes";
  EXPECT_EQ(raw.out.find("Ñ"), std::string::npos) << "no UTF-8 under an ISO-8859-1 declaration";
  EXPECT_NE(raw.out.find("5 &#8364; el saco"), std::string::npos);
  const XmlDocument parsed = XmlDocument::Parse(Bytes(raw.out.begin(), raw.out.end()));
  EXPECT_EQ(servicio_.NodeValue(parsed, "//Emisor/CmnaOrigen"), "Ñuñoa");
  EXPECT_EQ(servicio_.NodeValue(parsed, "//Detalle/NmbItem"), "Cemento 25 kg, 5 € el saco");

  const auto file = dir_.path() / "documento.xml";
  const CliRun written = Quarlo({"--json", "xml", kEmisor, "33", folio, "-o", file.string()});
  EXPECT_EQ(written.status, 0) << written.err;
  const auto writtenRecords = JsonLines(written.out);
  ASSERT_EQ(writtenRecords.size(), 1u);
  ExpectCommonFields(writtenRecords[0]);
  EXPECT_EQ(writtenRecords[0]["archivo"], file.string());
  EXPECT_FALSE(writtenRecords[0].contains("xml")) << "the document went to the file";
  const std::string saved = checks::ReadFile(file);
  EXPECT_EQ(saved, raw.out.substr(0, saved.size())) << "the same bytes as on stdout";
  EXPECT_EQ(writtenRecords[0]["bytes"], saved.size());

  const CliRun inRecord = Quarlo({"--json", "xml", "--distribucion", kEmisor, "33", folio});
  EXPECT_EQ(inRecord.status, 0) << inRecord.err;
  const auto inRecords = JsonLines(inRecord.out);
  ASSERT_EQ(inRecords.size(), 1u);
  const std::string inJson = inRecords[0]["xml"].get<std::string>();
  EXPECT_NE(inJson.find(folioElement), std::string::npos);
  EXPECT_NE(inJson.find("Ñuñoa"), std::string::npos) << "JSON carries the text as UTF-8";
  EXPECT_FALSE(inRecords[0].contains("archivo"));

  const CliRun unknown = Quarlo({"xml", kEmisor, "33", "9999"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(unknown.out.empty()) << "a redirected document stays empty: " << unknown.out;
  EXPECT_NE(unknown.err.find("quarlo: "), std::string::npos) << unknown.err;
  ExpectRefusal(Quarlo({"--json", "xml", kEmisor, "33", "9999"}), "xml");

  const CliRun unwritable = Quarlo(
      {"--json", "xml", kEmisor, "33", folio, "-o", (dir_.path() / "no/existe.xml").string()});
  EXPECT_EQ(unwritable.status, 4) << unwritable.out << unwritable.err;
  const auto local = JsonLines(unwritable.out);
  ASSERT_EQ(local.size(), 1u);
  EXPECT_EQ(local[0]["fallo"], NombreFallo(TipoFallo::ErrorLocal));
}

TEST_F(RetrievalTest, PdfIsWrittenToTheRequiredFile) {
  SubirCaf(kEmisor, 33, 1, 10);
  const std::string folio = EmitirFactura();
  const auto file = dir_.path() / "factura.pdf";

  const CliRun json = Quarlo({"--json", "pdf", kEmisor, "33", folio, "-o", file.string()});
  ASSERT_EQ(json.status, 0) << json.out << json.err;
  const auto records = JsonLines(json.out);
  ASSERT_EQ(records.size(), 1u);
  ExpectCommonFields(records[0]);
  EXPECT_EQ(records[0]["operacion"], "pdf");
  EXPECT_EQ(records[0]["archivo"], file.string());
  const std::string pdf = checks::ReadFile(file);
  EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_EQ(records[0]["bytes"], pdf.size());

  const CliRun text = Quarlo({"pdf", kEmisor, "33", folio, "--salida", file.string()});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("archivo:"), std::string::npos) << text.out;

  ExpectRefusal(Quarlo({"--json", "pdf", kEmisor, "33", "9999", "-o", file.string()}), "pdf");
  EXPECT_EQ(checks::ReadFile(file), pdf) << "a refusal leaves the file alone";
  const CliRun noFile = Quarlo({"pdf", kEmisor, "33", folio});
  EXPECT_EQ(noFile.status, 2);
  EXPECT_NE(noFile.err.find("falta"), std::string::npos) << noFile.err;
  const CliRun unwritable = Quarlo({"pdf", kEmisor, "33", folio, "-o", dir_.path().string()});
  EXPECT_EQ(unwritable.status, 4) << unwritable.out << unwritable.err;
}

TEST_F(RetrievalTest, AnularVoidsOnceAndTheSearchSeesIt) {
  SubirCaf(kEmisor, 33, 1, 10);
  const std::string voided = EmitirFactura();
  const std::string kept = EmitirFactura();

  const CliRun anular =
      Quarlo({"--json", "anular", kEmisor, "33", voided, "--comentario", "monto errado / 2"});
  ASSERT_EQ(anular.status, 0) << anular.out << anular.err;
  const auto records = JsonLines(anular.out);
  ASSERT_EQ(records.size(), 1u);
  ExpectCommonFields(records[0]);
  EXPECT_EQ(records[0]["operacion"], "anular");
  EXPECT_EQ(records[0]["estadoSii"], "ANULADO");
  ExpectRefusal(Quarlo({"--json", "anular", kEmisor, "33", voided, "--comentario", "otra vez"}),
                "anular");
  ExpectRefusal(Quarlo({"--json", "anular", kEmisor, "33", "9999", "--comentario", "x"}), "anular");
  EXPECT_EQ(Quarlo({"anular", kEmisor, "33", kept}).status, 2) << "a void needs its reason";

  const CliRun search = Quarlo({"--json", "buscar", "tipo:33"});
  ASSERT_EQ(search.status, 0) << search.err;
  std::map<std::string, std::string> estados;
  for (const auto& row : JsonLines(search.out)) {
    estados[row["folio"].get<std::string>()] = row["estado"].get<std::string>();
  }
  EXPECT_EQ(estados, (std::map<std::string, std::string>{{voided, "anulado"}, {kept, "vigente"}}));
}

TEST_F(RetrievalTest, BuscarPagesThroughTheDocumentsAsATableOrJsonLines) {
  SubirCaf(kEmisor, 33, 1, 10);
  std::set<std::string> folios;
  for (int i = 0; i < 3; ++i) folios.insert(EmitirFactura());

  const CliRun all = Quarlo({"--json", "buscar", "tipo:33 emisor:" + kEmisor});
  ASSERT_EQ(all.status, 0) << all.err;
  const auto rows = JsonLines(all.out);
  ASSERT_EQ(rows.size(), 3u) << all.out;
  std::set<std::string> found;
  for (const auto& row : rows) {
    ExpectCommonFields(row);
    EXPECT_EQ(row["operacion"], "buscar");
    EXPECT_EQ(row["rut"], kEmisor);
    EXPECT_EQ(row["tipo"], "33");
    EXPECT_EQ(row["rutReceptor"], kReceptor);
    EXPECT_EQ(row["fecha"], Hoy());
    EXPECT_FALSE(row["monto"].get<std::string>().empty());
    EXPECT_EQ(row["cedido"], false);
    found.insert(row["folio"].get<std::string>());
  }
  EXPECT_EQ(found, folios);

  const CliRun lastPage = Quarlo({"--json", "buscar", "--pagina", "2", "--tamanno", "2"});
  ASSERT_EQ(lastPage.status, 0) << lastPage.err;
  EXPECT_EQ(JsonLines(lastPage.out).size(), 1u) << lastPage.out;

  const CliRun table = Quarlo({"buscar", "--tamanno", "2"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("totalDocumentos: 3"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("totalPaginas:    2"), std::string::npos) << table.out;
  const auto header = table.out.find("rut");
  ASSERT_NE(header, std::string::npos);
  EXPECT_LT(header, table.out.find("folio")) << table.out;
  // Five lines of summary (empty fields are left out), the header and two rows.
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 5 + 1 + 2) << table.out;

  const CliRun bad = Quarlo({"--json", "buscar", "color:rojo"});
  ExpectRefusal(bad, "buscar");
  EXPECT_EQ(Quarlo({"buscar", "--pagina", "0"}).status, 2);
  EXPECT_EQ(Quarlo({"--uri", "http://127.0.0.1:1", "buscar"}).status, 3);
}

TEST_F(RetrievalTest, ConciliarListsDocumentsOrCessionsAndNeverShowsThePassword) {
  SubirCaf(kEmisor, 33, 1, 10);
  const std::string folio = EmitirFactura();

  const CliRun documents = Quarlo({"--json", "conciliar", kReceptor, Hoy(), Hoy()});
  ASSERT_EQ(documents.status, 0) << documents.out << documents.err;
  const auto rows = JsonLines(documents.out);
  ASSERT_EQ(rows.size(), 1u) << documents.out;
  ExpectCommonFields(rows[0]);
  EXPECT_EQ(rows[0]["operacion"], "conciliar");
  EXPECT_EQ(rows[0]["folio"], folio);
  EXPECT_EQ(rows[0]["recibidoSii"], true);
  EXPECT_FALSE(rows[0]["fechaRecibidoSii"].get<std::string>().empty());

  auto cesion = std::make_shared<GeneraAECRequest>();
  cesion->ambiente = kAmbiente;
  cesion->rut = kEmisor;
  cesion->tipo = 33;
  cesion->folio = std::stoi(folio);
  cesion->FactoringRut = kFactoring;
  cesion->UltimoVencimiento = Hoy();
  integration::Require(servicio_.GenerarAec(cesion), "GenerarAec");

  const std::map<std::string, std::string> password{{"QUARLO_SII_CLAVE", kClaveSii}};
  const CliRun debtor =
      Quarlo({"--json", "conciliar", kReceptor, Hoy(), Hoy(), "--cesiones"}, password);
  ASSERT_EQ(debtor.status, 0) << debtor.out << debtor.err;
  const auto cessions = JsonLines(debtor.out);
  ASSERT_EQ(cessions.size(), 1u) << debtor.out;
  ExpectCommonFields(cessions[0]);
  EXPECT_EQ(cessions[0]["folio"], folio);
  EXPECT_EQ(cessions[0]["rutCedente"], kEmisor);
  EXPECT_EQ(cessions[0]["rutCesionario"], kFactoring);
  EXPECT_EQ(cessions[0]["rutDeudor"], kReceptor);

  const auto passwordFile = dir_.path() / "clave";
  checks::WriteFile(passwordFile, Bytes(kClaveSii.begin(), kClaveSii.end()));
  const CliRun assignee = Quarlo({"--clave-sii-archivo", passwordFile.string(), "conciliar",
                                  kFactoring, Hoy(), Hoy(), "--cesiones", "--tipo-consulta", "2"});
  ASSERT_EQ(assignee.status, 0) << assignee.out << assignee.err;
  EXPECT_NE(assignee.out.find("totalDocumentos: 1"), std::string::npos) << assignee.out;
  EXPECT_NE(assignee.out.find(kFactoring), std::string::npos) << assignee.out;

  const CliRun down =
      Quarlo({"--uri", "http://127.0.0.1:1", "conciliar", kReceptor, Hoy(), Hoy(), "--cesiones"},
             password);
  EXPECT_EQ(down.status, 3) << down.out << down.err;
  const CliRun noPassword =
      Quarlo({"conciliar", kReceptor, Hoy(), Hoy(), "--cesiones"}, {{"QUARLO_SII_CLAVE", ""}});
  EXPECT_EQ(noPassword.status, 2);
  EXPECT_NE(noPassword.err.find("QUARLO_SII_CLAVE"), std::string::npos) << noPassword.err;
  EXPECT_EQ(Quarlo({"conciliar", kReceptor, Hoy(), Hoy(), "--tipo-consulta", "1"}).status, 2)
      << "a query type without --cesiones";
  for (const CliRun* run : {&documents, &debtor, &assignee, &down, &noPassword}) {
    EXPECT_EQ((run->out + run->err).find(kClaveSii), std::string::npos) << run->out << run->err;
    EXPECT_EQ((run->out + run->err).find(kApiKey), std::string::npos);
  }
}

}  // namespace
}  // namespace QuarloCliente::cli_tests
