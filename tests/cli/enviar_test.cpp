// quarlo enviar: a folder of documents sent in one run, each file's outcome as one record, the
// bad files named, and the progress line only on a terminal.

#include <algorithm>
#include <cstdlib>
#include <set>

#include "cli_fixture.hpp"

namespace QuarloCliente::cli_tests {
namespace {

using integration::kApiKey;
using integration::kEmisor;
using integration::kEmisorBoletas;

class Enviar : public CliTest {
 protected:
  // The document written as a file of the folder, as an application saves it.
  std::string Save(const std::string& name, const BindingDocument& document) {
    return SaveText(name, document.ToXml(DefaultBindingContext()));
  }

  std::string SaveText(const std::string& name, const std::string& text) {
    const auto path = dir_.path() / "docs" / name;
    std::filesystem::create_directories(path.parent_path());
    checks::WriteFile(path, Bytes(text.begin(), text.end()));
    return path.string();
  }

  static std::vector<std::string> Args(std::vector<std::string> options,
                                       const std::vector<std::string>& files) {
    options.insert(options.end(), files.begin(), files.end());
    return options;
  }

  // The options of enviar (they follow the subcommand) with the resolution added.
  std::vector<std::string> WithResolution(std::vector<std::string> options) const {
    options.insert(options.end(),
                   {"--fecha-resolucion", integration::kFechaResolucion, "--numero-resolucion",
                    std::to_string(integration::kNroResolucion)});
    return options;
  }

  static int CountOk(const std::vector<nlohmann::json>& records) {
    return static_cast<int>(std::count_if(records.begin(), records.end(),
                                          [](const nlohmann::json& r) { return r["ok"] == true; }));
  }
};

TEST_F(Enviar, AFolderOfTwoHundredFilesIsSentAndItsBadFilesNamedWithStatusFour) {
  SubirCaf(kEmisor, 33, 1, 100);
  SubirCaf(kEmisorBoletas, 39, 1, 200);
  std::vector<std::string> files;
  for (int i = 0; i < 130; ++i)
    files.push_back(Save("boleta_" + std::to_string(i) + ".xml", *Boleta()));
  for (int i = 0; i < 65; ++i)
    files.push_back(Save("factura_" + std::to_string(i) + ".xml", *Factura()));
  // The same boleta as an older till writes it: ISO-8859-1 bytes under their declaration.
  std::string latin = Boleta()->ToXml(DefaultBindingContext());
  latin.replace(latin.find("UTF-8"), 5, "ISO-8859-1");
  const Bytes latinBytes = detail::Utf8ToLatin1(latin);
  ASSERT_NE(std::find(latinBytes.begin(), latinBytes.end(), 0xE9), latinBytes.end()) << "Café";
  const std::string iso =
      SaveText("boleta_latin1.xml", std::string(latinBytes.begin(), latinBytes.end()));
  files.push_back(iso);
  const std::string notXml = SaveText("notas.xml", "esto no es XML, es una nota\n");
  const std::string unknownRoot = SaveText("sobre.xml", "<?xml version=\"1.0\"?>\n<EnvioDTE/>");
  std::string invalid = Factura()->ToXml(DefaultBindingContext());
  invalid.replace(invalid.find("<Folio>"), 7, "<Folio>abc");
  const std::string refusedBySchema = SaveText("factura_mala.xml", invalid);
  const std::string folder = (dir_.path() / "docs").string();
  const std::string missing = (dir_.path() / "docs" / "no_existe.xml").string();
  const std::vector<std::string> bad{notXml, unknownRoot, refusedBySchema, folder, missing};
  files.insert(files.end(), bad.begin(), bad.end());
  ASSERT_EQ(files.size(), 201u);

  const CliRun run = Quarlo(Args(WithResolution({"--json", "enviar", "--autofoliado"}), files));
  EXPECT_EQ(run.status, 4) << run.err;
  const auto records = JsonLines(run.out);
  ASSERT_EQ(records.size(), files.size()) << run.err;
  EXPECT_EQ(CountOk(records), 196) << run.err;
  std::set<std::pair<std::string, std::string>> folios;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto& record = records[i];
    ExpectCommonFields(record);
    EXPECT_EQ(record["operacion"], "enviar");
    EXPECT_EQ(record["archivo"], files[i]) << "one record per file, in the order given";
    if (record["ok"] == true) {
      EXPECT_TRUE(record["clase"] == "boleta" || record["clase"] == "dte") << record.dump();
      EXPECT_TRUE(
          folios.insert({record["tipo"].get<std::string>(), record["folio"].get<std::string>()})
              .second)
          << record.dump();
    }
  }
  EXPECT_EQ(folios.count({"39", "131"}), 1u) << "131 boletas numbered 1 to 131";
  EXPECT_EQ(folios.count({"33", "65"}), 1u);
  EXPECT_EQ(records[195]["clase"], "boleta") << records[195].dump();
  for (std::size_t i = 196; i < records.size(); ++i) {
    EXPECT_EQ(records[i]["fallo"], NombreFallo(TipoFallo::ErrorLocal)) << records[i].dump();
    EXPECT_FALSE(records[i]["descripcion"].get<std::string>().empty());
    EXPECT_NE(run.err.find(files[i] + ": "), std::string::npos) << files[i] << "\n" << run.err;
  }
  EXPECT_NE(records[196]["descripcion"].get<std::string>().find("no es XML"), std::string::npos);
  EXPECT_NE(records[197]["descripcion"].get<std::string>().find("EnvioDTE"), std::string::npos);
  EXPECT_NE(records[198]["descripcion"].get<std::string>().find("Folio"), std::string::npos)
      << records[198].dump();
  EXPECT_NE(run.err.find("196 enviados, 0 rechazados, 5 con errores locales"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos) << "no progress line into a pipe";
  EXPECT_EQ(run.err.find(" ficheros,"), std::string::npos) << run.err;

  for (const auto& [rut, tipo, folio] :
       {std::tuple{kEmisorBoletas, "39", "1"}, std::tuple{kEmisorBoletas, "39", "131"},
        std::tuple{kEmisor, "33", "65"}}) {
    const auto estado =
        servicio_.EstadoFiscal(integration::kAmbiente, Variant(std::string("E")), rut, tipo, folio);
    EXPECT_EQ(estado->ResultadoServicio->Fallo, TipoFallo::Ninguno)
        << tipo << " " << folio << ": " << estado->ResultadoServicio->Descripcion;
  }
  EXPECT_EQ(run.out.find(kApiKey), std::string::npos);
}

TEST_F(Enviar, OwnFoliosResolutionFromTheEnvironmentAndStatusesOneTwoAndThree) {
  SubirCaf(kEmisor, 33, 1, 10);
  const std::string sinCaf = Save("factura_500.xml", *Factura(500));
  const std::map<std::string, std::string> resolution{
      {"QUARLO_FECHA_RESOLUCION", integration::kFechaResolucion},
      {"QUARLO_NUMERO_RESOLUCION", std::to_string(integration::kNroResolucion)}};

  const CliRun refused = Quarlo({"--json", "enviar", sinCaf}, resolution);
  EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
  auto records = JsonLines(refused.out);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["fallo"], NombreFallo(TipoFallo::RechazoServicio));
  EXPECT_EQ(records[0]["clase"], "dte");
  EXPECT_EQ(records[0]["rut"], kEmisor);
  EXPECT_EQ(records[0]["tipo"], "33");
  EXPECT_EQ(records[0]["folio"], "500");
  EXPECT_NE(refused.err.find("0 enviados, 1 rechazados, 0 con errores locales"), std::string::npos)
      << refused.err;

  const std::string propia = Save("factura_7.xml", *Factura(7));
  const CliRun own = Quarlo({"enviar", propia}, resolution);
  EXPECT_EQ(own.status, 0) << own.out << own.err;
  EXPECT_NE(own.out.find("folio:"), std::string::npos) << own.out;
  EXPECT_EQ(servicio_.EstadoFiscal("T", Variant(std::string("E")), kEmisor, "33", "7")
                ->ResultadoServicio->Fallo,
            TipoFallo::Ninguno);

  const CliRun noResolution = Quarlo({"enviar", propia});
  EXPECT_EQ(noResolution.status, 2);
  EXPECT_TRUE(noResolution.out.empty()) << "nothing is sent";
  EXPECT_NE(noResolution.err.find("QUARLO_FECHA_RESOLUCION"), std::string::npos);
  const CliRun badDate = Quarlo({"enviar", "--fecha-resolucion", "22/08/2014", propia}, resolution);
  EXPECT_EQ(badDate.status, 2) << badDate.err;
  const CliRun badBarcode = Quarlo({"enviar", "--pdf417", "otro", propia}, resolution);
  EXPECT_EQ(badBarcode.status, 2) << badBarcode.err;

  const CliRun down = Quarlo({"--uri", "http://127.0.0.1:1", "enviar", propia}, resolution);
  EXPECT_EQ(down.status, 3) << down.out << down.err;
  EXPECT_NE(down.err.find("1 sin comunicación"), std::string::npos) << down.err;
}

TEST_F(Enviar, BooksAndFolioReportsTakeTheirCoverAndAStampedBoletaItsOwnTed) {
  const auto dataFile = [&](const char* name) {
    return SaveText(name, testing::ReadTestData(name));
  };
  // The service's FolioNotificacion is 16-bit: the fixtures' six-digit ones cannot travel.
  const auto notified = [&]<class Libro>(const char* name, long folio) {
    Libro libro;
    libro.Load(testing::ReadTestData(name), DefaultBindingContext());
    libro.EnvioLibro()->Caratula()->SetFolioNotificacion(folio);
    return Save(std::string("n_") + name, libro);
  };
  const std::vector<std::string> books{
      dataFile("libro_compra_venta.xml"),
      notified.operator()<LibroGuiaBinding>("libro_guia.xml", 2406),
      notified.operator()<LibroBoletaBinding>("libro_boleta.xml", 2405),
      dataFile("consumo_folios.xml")};
  const CliRun sent = Quarlo(Args({"--json", "enviar"}, books));
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err << "no resolution needed: the covers hold it";
  const auto records = JsonLines(sent.out);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0]["clase"], "libro");
  EXPECT_EQ(records[0]["tipo"], "VENTA");
  EXPECT_EQ(records[1]["tipo"], "GUIA");
  EXPECT_EQ(records[2]["rut"], kEmisorBoletas);
  EXPECT_EQ(records[3]["clase"], "consumo");
  const CliRun tooLarge = Quarlo({"enviar", dataFile("libro_guia.xml")});
  EXPECT_EQ(tooLarge.status, 4) << tooLarge.out << tooLarge.err;
  EXPECT_NE(tooLarge.err.find("FolioNotificacion 240611"), std::string::npos) << tooLarge.err;
  const auto mayo = BindingDateTime::FromYearMonth(2024, 5);
  EXPECT_EQ(
      servicio_.EstadoFiscalLibro(kEmisor, "VENTA", "T", "MENSUAL", mayo)->ResultadoServicio->Fallo,
      TipoFallo::Ninguno);

  const QuarloSandbox::Caf caf = SubirCaf(kEmisorBoletas, 39, 1, 10);
  auto boleta = Boleta(4);
  const std::string ted =
      TimbrarBoleta(*boleta, ArchivoCaf::DesdeBytes(Bytes(caf.xml.begin(), caf.xml.end())),
                    BindingDateTime::FromDateTime(hoy_ - std::chrono::minutes(2)));
  const std::string stamped = Save("boleta_timbrada.xml", *boleta);
  const auto out = dir_.path() / "salida";
  const CliRun own = Quarlo(WithResolution(
      {"--json", "enviar", "--carpeta-salida", out.string(), "--pdf417", "grafico", stamped}));
  EXPECT_EQ(own.status, 0) << own.out << own.err;
  const auto stampedRecords = JsonLines(own.out);
  ASSERT_EQ(stampedRecords.size(), 1u);
  EXPECT_EQ(stampedRecords[0]["folio"], "4");
  const std::string base = (out / (kEmisorBoletas + "_39_4")).string();
  const std::string kept = checks::ReadFile(base + ".ted.xml");
  // Stamped two minutes back, so that a stamp of the service's own cannot look the same.
  for (const char* part : {"//TSTED", "//FRMT"}) {
    EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(kept), part),
              servicio_.NodeValue(XmlDocument::Parse(ted), part))
        << part << ": the service kept the boleta's own stamp";
  }
  EXPECT_EQ(checks::ReadFile(base + ".png").find("PNG"), 1u) << "a PNG image beside the TED";
}

// The shell's single-quoted form of a word.
std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

TEST_F(Enviar, TheProgressLineShowsOnATerminalAndNeverInAPipe) {
  SubirCaf(kEmisorBoletas, 39, 1, 50);
  std::vector<std::string> files;
  for (int i = 0; i < 20; ++i) files.push_back(Save("b" + std::to_string(i) + ".xml", *Boleta()));
  const auto args = Args(WithResolution({"enviar", "--autofoliado"}), files);

  std::string command = QUARLO_CLI_BINARY;
  for (const std::string& arg : args) command += " " + arg;
  const auto transcript = dir_.path() / "terminal.txt";
  const std::string shell = "QUARLO_URI=" + Quoted(sandbox_->Uri()) +
                            " QUARLO_API_KEY=" + Quoted(kApiKey) + " script -qec " +
                            Quoted(command) + " /dev/null </dev/null >" +
                            Quoted(transcript.string()) + " 2>&1";
  const int status = std::system(shell.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << shell;
  EXPECT_EQ(WEXITSTATUS(status), 0) << checks::ReadFile(transcript);
  const std::string terminal = checks::ReadFile(transcript);
  EXPECT_NE(terminal.find("/20 ficheros"), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("/s"), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("20 enviados, 0 rechazados, 0 con errores locales"), std::string::npos)
      << terminal;

  const CliRun piped = Quarlo(args);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.err.find("/s"), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find("ficheros"), std::string::npos) << piped.err;
  EXPECT_NE(piped.err.find("20 enviados"), std::string::npos) << piped.err;
}

}  // namespace
}  // namespace QuarloCliente::cli_tests
