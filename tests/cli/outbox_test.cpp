// quarlo bandeja over an outbox the library filled: its items and counts, a drain into the test's
// sandbox (down, then up), and a stored stamp written again for a reprint.

#include <quarlo/bandeja.hpp>

#include "cli_fixture.hpp"

namespace QuarloCliente::cli_tests {
namespace {

using integration::kEmisorBoletas;

class OutboxCliTest : public CliTest {
 protected:
  // Three boletas issued offline into a new outbox, after its CAF (1 to 50), as a point of sale
  // leaves them; the outbox is closed again, as a support person finds it.
  void IssueBoletas() {
    const auto authority =
        QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string());
    const auto caf = QuarloSandbox::IssueTestCaf(kEmisorBoletas, "Panadería", 39, 1, 50, authority);
    BandejaSalida bandeja(path_);
    bandeja.Configurar(integration::kAmbiente, integration::kFechaResolucion,
                       integration::kNroResolucion);
    // Kept in the file: an item that met a service down is due again within milliseconds.
    bandeja.ConfigurarReintentos(std::chrono::milliseconds(1), std::chrono::milliseconds(20));
    bandeja.RegistrarCaf(Bytes(caf.xml.begin(), caf.xml.end()));
    for (int i = 0; i < 3; ++i) teds_.push_back(bandeja.EmitirBoleta(Boleta()).ted);
  }

  // A boleta stamped with a CAF the sandbox never received, queued as it is: the sandbox
  // refuses it.
  void QueueForeignBoleta() {
    const auto caf = QuarloSandbox::IssueTestCaf(kEmisorBoletas, "Panadería", 39, 900, 910,
                                                 QuarloSandbox::AuthorityKey::Generate());
    auto boleta = Boleta(905);
    const std::string ted = TimbrarBoleta(*boleta, ArchivoCaf::DesdeTexto(caf.xml),
                                          BindingDateTime::FromDateTime(Now()));
    BandejaSalida bandeja(path_);
    bandeja.EncolarBoleta(boleta, ted);
  }

  CliRun Bandeja(std::vector<std::string> args) {
    args.insert(args.begin(), {"--json", "bandeja", "--archivo", path_});
    return Quarlo(args);
  }

  const std::string path_ = (dir_.path() / "caja.bandeja").string();
  std::vector<std::string> teds_;
};

TEST_F(OutboxCliTest, ListaAndEstadoShowTheItemsCountsAndFoliosLeft) {
  IssueBoletas();
  const CliRun table = Quarlo({"bandeja", "lista"}, {{"QUARLO_BANDEJA", path_}});
  EXPECT_EQ(table.status, 0) << table.err;
  for (const char* column :
       {"id", "clase", "rut", "tipo", "folio", "estado", "intentos", "idSeguimiento", "motivo"}) {
    EXPECT_NE(table.out.find(column), std::string::npos) << column << '\n' << table.out;
  }

  const CliRun listed = Bandeja({"lista", "--estado", "pendiente"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  const auto items = JsonLines(listed.out);
  ASSERT_EQ(items.size(), 4u) << listed.out;
  EXPECT_EQ(items[0]["clase"], "caf");
  for (std::size_t i = 1; i < items.size(); ++i) {
    ExpectCommonFields(items[i]);
    EXPECT_EQ(items[i]["clase"], "boleta");
    EXPECT_EQ(items[i]["rut"], kEmisorBoletas);
    EXPECT_EQ(items[i]["tipo"], "39");
    EXPECT_EQ(items[i]["folio"], std::to_string(i));
    EXPECT_EQ(items[i]["estado"], "pendiente");
    EXPECT_EQ(items[i]["intentos"], 0);
  }
  EXPECT_TRUE(JsonLines(Bandeja({"lista", "--estado", "aceptado"}).out).empty());

  const CliRun status = Bandeja({"estado"});
  EXPECT_EQ(status.status, 0) << status.err;
  const auto records = JsonLines(status.out);
  ASSERT_EQ(records.size(), 2u) << status.out;
  EXPECT_EQ(records[0]["pendientes"], 4);
  EXPECT_EQ(records[0]["aceptados"], 0);
  EXPECT_GE(records[0]["antiguedadPendienteSegundos"].get<int>(), 0);
  EXPECT_EQ(records[1]["operacion"], "bandeja folios");
  EXPECT_EQ(records[1]["desde"], 1);
  EXPECT_EQ(records[1]["hasta"], 50);
  EXPECT_EQ(records[1]["siguiente"], 4);
  EXPECT_EQ(records[1]["restantes"], 47);
}

TEST_F(OutboxCliTest, EnviarWaitsForADownServiceThenDeliversAndCountsRefusals) {
  IssueBoletas();
  const CliRun down =
      Quarlo({"--json", "--uri", "http://127.0.0.1:1", "bandeja", "--archivo", path_, "enviar"});
  EXPECT_EQ(down.status, 3) << down.out << down.err;
  const auto waiting = JsonLines(down.out);
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0]["ok"], false);
  EXPECT_EQ(waiting[0]["fallo"], NombreFallo(TipoFallo::SinConexion));
  EXPECT_GE(waiting[0]["pendientes"].get<int>(), 1);
  EXPECT_EQ(waiting[0]["aceptados"], 0);

  // Drained again until nothing is pending: an item waits out its short retry delay first.
  int delivered = 0;
  for (int run = 0; run < 50 && delivered < 4; ++run) {
    const CliRun up = Bandeja({"enviar"});
    EXPECT_EQ(up.status, 0) << up.out << up.err;
    const auto summary = JsonLines(up.out);
    ASSERT_EQ(summary.size(), 1u);
    ExpectCommonFields(summary[0]);
    EXPECT_EQ(summary[0]["ok"], true);
    EXPECT_EQ(summary[0]["pendientes"], 0);
    delivered += summary[0]["aceptados"].get<int>();
  }
  EXPECT_EQ(delivered, 4);
  const auto accepted = JsonLines(Bandeja({"lista", "--estado", "aceptado"}).out);
  ASSERT_EQ(accepted.size(), 4u);
  for (std::size_t i = 1; i < accepted.size(); ++i) {
    EXPECT_FALSE(accepted[i]["idSeguimiento"].get<std::string>().empty()) << accepted[i].dump();
  }
  EXPECT_EQ(JsonLines(Bandeja({"estado"}).out)[0]["pendientes"], 0);
  EXPECT_FALSE(JsonLines(Bandeja({"estado"}).out)[0].contains("antiguedadPendienteSegundos"));

  QueueForeignBoleta();
  const CliRun refused = Bandeja({"enviar"});
  EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
  EXPECT_EQ(JsonLines(refused.out)[0]["rechazados"], 1);
  const auto rejected = JsonLines(Bandeja({"lista", "--estado", "rechazado"}).out);
  ASSERT_EQ(rejected.size(), 1u);
  EXPECT_EQ(rejected[0]["folio"], "905");
  EXPECT_FALSE(rejected[0]["motivo"].get<std::string>().empty());
}

TEST_F(OutboxCliTest, ReimprimirWritesTheStoredStampAsPdf417AndTheDocument) {
  IssueBoletas();
  const std::string png = (dir_.path() / "folio2.png").string();
  const std::string xml = (dir_.path() / "folio2.xml").string();
  const CliRun reprint = Bandeja({"reimprimir", "2", "--png", png, "-o", xml});
  EXPECT_EQ(reprint.status, 0) << reprint.err;
  const auto records = JsonLines(reprint.out);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["rut"], kEmisorBoletas) << "the issuer found without --rut";
  EXPECT_EQ(records[0]["ted"], teds_[1]);
  const std::string pngBytes = checks::ReadFile(png);
  const auto image = checks::ReadPngWithLibpng(Bytes(pngBytes.begin(), pngBytes.end()));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(checks::ReadPdf417(*image), integration::TedBytes(teds_[1]));
  auto stored = std::make_shared<BoletaDocumentBinding>();
  stored->Load(checks::ReadFile(xml), std::make_shared<BindingContext>());
  EXPECT_EQ(stored->Documento()->Encabezado()->IdDoc()->Folio(), BindingInteger(2));

  EXPECT_EQ(Bandeja({"reimprimir", "40", "--png", png}).status, 4) << "never issued";
  EXPECT_EQ(Bandeja({"reimprimir", "2", "--rut", "11111111-1", "--png", png}).status, 4);
  EXPECT_EQ(Bandeja({"reimprimir", "2"}).status, 2) << "--png is required";
}

TEST_F(OutboxCliTest, AMissingOrDamagedOutboxIsNeverCreatedOrRead) {
  const CliRun unnamed = Quarlo({"bandeja", "estado"}, {{"QUARLO_BANDEJA", ""}});
  EXPECT_EQ(unnamed.status, 2);
  EXPECT_NE(unnamed.err.find("QUARLO_BANDEJA"), std::string::npos) << unnamed.err;

  const CliRun missing = Bandeja({"lista"});
  EXPECT_EQ(missing.status, 4);
  EXPECT_FALSE(std::filesystem::exists(path_)) << "a mistyped name creates no outbox";
  EXPECT_NE(missing.err.find("no existe"), std::string::npos) << missing.err;

  for (const char* command : {"lista", "estado", "enviar", "reimprimir"}) {
    const CliRun help = Quarlo({"bandeja", command, "--help"});
    EXPECT_EQ(help.status, 0);
    const auto example = help.out.find("Ejemplo:\n");
    ASSERT_NE(example, std::string::npos) << help.out;
    EXPECT_NE(help.out.find(std::string("quarlo bandeja ") + command, example), std::string::npos)
        << help.out;
  }

  checks::WriteFile(path_, Bytes(4096, 'x'));
  const CliRun damaged = Bandeja({"estado"});
  EXPECT_EQ(damaged.status, 4) << damaged.out << damaged.err;
  const auto records = JsonLines(damaged.out);
  ASSERT_EQ(records.size(), 1u);
  ExpectCommonFields(records[0]);
  EXPECT_EQ(records[0]["ok"], false);
}

}  // namespace
}  // namespace QuarloCliente::cli_tests
