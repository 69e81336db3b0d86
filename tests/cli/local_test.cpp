// quarlo's local work on CAFs, stamps and documents: caf, ted verificar, timbrar and validar, with
// the one exchange among them (caf subir) against the test's sandbox.

#include "cli_fixture.hpp"

namespace QuarloCliente::cli_tests {
namespace {

using integration::kApiKey;
using integration::kEmisor;
using integration::kEmisorBoletas;

class LocalCliTest : public CliTest {
 protected:
  // A CAF of the sandbox's authority written to a file of the test's folder, not uploaded.
  std::string CafFile(const std::string& rut, int tipo, long desde, long hasta,
                      QuarloSandbox::Caf* issued = nullptr) {
    const auto authority =
        QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string());
    const auto caf =
        QuarloSandbox::IssueTestCaf(rut, "Emisor de Ñuñoa", tipo, desde, hasta, authority);
    if (issued != nullptr) *issued = caf;
    return Write("caf_" + std::to_string(tipo) + "_" + std::to_string(desde) + ".xml", caf.xml);
  }

  std::string Write(const std::string& name, const std::string& text) {
    const auto path = dir_.path() / name;
    checks::WriteFile(path, Bytes(text.begin(), text.end()));
    return path.string();
  }

  // The one record of a --json run.
  nlohmann::json Single(const CliRun& run) {
    const auto records = JsonLines(run.out);
    EXPECT_EQ(records.size(), 1u) << run.out << run.err;
    if (records.empty()) return nlohmann::json::object();
    ExpectCommonFields(records[0]);
    return records[0];
  }
};

TEST_F(LocalCliTest, CafVerShowsRangeAndKeyPresenceNeverTheKeyAndSubirUploadsIt) {
  QuarloSandbox::Caf issued;
  const std::string caf = CafFile(kEmisor, 33, 1, 10, &issued);

  const CliRun text = Quarlo({"caf", "ver", caf});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("hasta:"), std::string::npos) << text.out;
  const nlohmann::json shown = Single(Quarlo({"--json", "caf", "ver", caf}));
  EXPECT_EQ(shown["operacion"], "caf ver");
  EXPECT_EQ(shown["rut"], kEmisor);
  EXPECT_EQ(shown["tipo"], "33");
  EXPECT_EQ(shown["desde"], 1);
  EXPECT_EQ(shown["hasta"], 10);
  EXPECT_EQ(shown["fechaAutorizacion"], issued.fechaAutorizacion);
  EXPECT_EQ(shown["clavePrivada"], true);
  // A line from the middle of the private key's PEM never shows.
  const std::string keyLine = issued.privateKeyPem.substr(issued.privateKeyPem.find('\n') + 1, 40);
  EXPECT_EQ(shown.dump().find(keyLine), std::string::npos);
  EXPECT_EQ(text.out.find(keyLine), std::string::npos);

  const CliRun missing = Quarlo({"--json", "caf", "ver", (dir_.path() / "no.xml").string()});
  EXPECT_EQ(missing.status, 4);
  EXPECT_EQ(Single(missing)["ok"], false);
  EXPECT_NE(missing.err.find("quarlo: "), std::string::npos);
  const std::string notCaf = Write("factura.xml", testing::ReadTestData("factura_33.xml"));
  EXPECT_EQ(Quarlo({"caf", "ver", notCaf}).status, 4);

  // Uploaded, the sandbox stamps facturas of that range; a down service and a refusal differ.
  EXPECT_EQ(Quarlo({"--uri", "http://127.0.0.1:1", "caf", "subir", caf}).status, 3);
  EXPECT_EQ(Quarlo({"caf", "subir", caf}, {{"QUARLO_API_KEY", "otra"}}).status, 1);
  const nlohmann::json uploaded = Single(Quarlo({"--json", "caf", "subir", caf}));
  EXPECT_EQ(uploaded["ok"], true) << uploaded.dump();
  EXPECT_EQ(uploaded["hasta"], 10);
  EXPECT_EQ(EmitirFactura(), "1");
  EXPECT_EQ(Quarlo({"caf", "subir", notCaf}).status, 4) << "a file that is no CAF is not sent";
}

TEST_F(LocalCliTest, TedVerificarAcceptsAGoodStampAndSaysWhyATamperedOneFails) {
  const std::string cafPath = CafFile(kEmisor, 33, 1, 10);
  integration::Require(servicio_.EnviarCAF(integration::kAmbiente, cafPath), "EnviarCAF");
  const std::string ted = EmitirFactura(servicio_)->TED;

  const nlohmann::json good = Single(Quarlo({"--json", "ted", "verificar", ted}));
  EXPECT_EQ(good["ok"], true) << good.dump();
  EXPECT_EQ(good["folio"], "1");
  EXPECT_EQ(good["rut"], kEmisor);
  const std::string tedFile = Write("ted.xml", ted);
  EXPECT_EQ(Quarlo({"ted", "verificar", tedFile, "--caf", cafPath}).status, 0);

  const auto authority =
      QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string());
  const std::string ours = Write("autoridad.pem", authority.publicPem);
  EXPECT_EQ(Quarlo({"ted", "verificar", tedFile, "--autoridad", ours}).status, 0);
  const std::string other = Write("otra.pem", QuarloSandbox::AuthorityKey::Generate().publicPem);
  EXPECT_EQ(Quarlo({"ted", "verificar", tedFile, "--autoridad", other}).status, 4);

  std::string tampered = ted;
  const auto mnt = tampered.find("<MNT>");
  ASSERT_NE(mnt, std::string::npos);
  tampered.insert(mnt + 5, "9");
  const CliRun bad = Quarlo({"--json", "ted", "verificar", tampered});
  EXPECT_EQ(bad.status, 4);
  const nlohmann::json refused = Single(bad);
  EXPECT_EQ(refused["ok"], false);
  EXPECT_EQ(refused["fallo"], NombreFallo(TipoFallo::ErrorLocal));
  EXPECT_FALSE(refused["descripcion"].get<std::string>().empty());

  // A good stamp made with another CAF is not this CAF's.
  const std::string otherCaf = CafFile(kEmisor, 33, 11, 20);
  const CliRun wrongCaf = Quarlo({"--json", "ted", "verificar", tedFile, "--caf", otherCaf});
  EXPECT_EQ(wrongCaf.status, 4);
  EXPECT_NE(Single(wrongCaf)["descripcion"].get<std::string>().find("CAF"), std::string::npos);
  EXPECT_EQ(Quarlo({"ted", "verificar", (dir_.path() / "nada.xml").string()}).status, 4);
}

TEST_F(LocalCliTest, TimbrarStampsWithTheCafAndTheResultValidatesAndVerifies) {
  const std::string caf = CafFile(kEmisor, 33, 1, 10);
  const std::string factura = Write("factura.xml", Factura(7)->ToXml(DefaultBindingContext()));
  const std::string salida = (dir_.path() / "timbrada.xml").string();
  const std::string png = (dir_.path() / "timbre.png").string();

  const CliRun stamped =
      Quarlo({"--json", "timbrar", factura, "--caf", caf, "-o", salida, "--png", png});
  EXPECT_EQ(stamped.status, 0) << stamped.err;
  const nlohmann::json record = Single(stamped);
  EXPECT_EQ(record["folio"], "7");
  EXPECT_EQ(record["tipo"], "33");
  EXPECT_EQ(record["salida"], salida);
  const std::string ted = record["ted"];
  EXPECT_TRUE(VerificarTimbre(ted).Valido);
  const std::string pngBytes = checks::ReadFile(png);
  const auto image = checks::ReadPngWithLibpng(Bytes(pngBytes.begin(), pngBytes.end()));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(checks::ReadPdf417(*image), integration::TedBytes(ted));

  const std::string written = checks::ReadFile(salida);
  auto loaded = std::make_shared<DteDocumentBinding>();
  loaded->Load(written, std::make_shared<BindingContext>());
  EXPECT_TRUE(VerificarTimbreDte(ted, *loaded).Valido);
  EXPECT_EQ(Quarlo({"validar", salida}).status, 0);
  EXPECT_EQ(Quarlo({"ted", "verificar", salida}).status, 0) << "the stamp inside the document";

  // The document no longer matching its stamp, a CAF of another type, a CAF without its key.
  std::string altered = written;
  altered.replace(altered.find("<MntTotal>"), 10, "<MntTotal>1");
  EXPECT_EQ(Quarlo({"ted", "verificar", Write("alterada.xml", altered)}).status, 4);
  const std::string caf39 = CafFile(kEmisor, 39, 1, 10);
  EXPECT_EQ(Quarlo({"timbrar", factura, "--caf", caf39}).status, 4);
  const std::string boleta = Write("boleta.xml", Boleta(3)->ToXml(DefaultBindingContext()));
  const CliRun boletaRun = Quarlo({"--json", "timbrar", boleta, "--caf", caf});
  EXPECT_EQ(boletaRun.status, 4) << "a boleta with a factura's CAF";

  // Without -o the stamped boleta goes beside the original, which stays as it was.
  const std::string cafBoletas = CafFile(kEmisorBoletas, 39, 1, 10);
  const CliRun beside = Quarlo({"--json", "timbrar", boleta, "--caf", cafBoletas});
  EXPECT_EQ(beside.status, 0) << beside.err;
  EXPECT_EQ(Single(beside)["salida"], (dir_.path() / "boleta.timbrado.xml").string());
  EXPECT_EQ(checks::ReadFile(boleta), Boleta(3)->ToXml(DefaultBindingContext()));
  EXPECT_EQ(Quarlo({"ted", "verificar", (dir_.path() / "boleta.timbrado.xml").string(), "--caf",
                    cafBoletas})
                .status,
            0);
}

TEST_F(LocalCliTest, ValidarListsEveryFaultWithItsPathAndExitsFourWhenAFileHasAny) {
  const std::string good = Write("factura.xml", testing::ReadTestData("factura_33.xml"));
  std::string faulty = testing::ReadTestData("factura_33.xml");
  // Three faults of different kinds: an unknown element, a value that is not a number, and a
  // required element removed.
  faulty.replace(faulty.find("<Folio>"), 7, "<Sucursal>7</Sucursal><Folio>");
  faulty.replace(faulty.find("<MntTotal>") + 10, 0, "x");
  const auto rznStart = faulty.find("<RznSocRecep>");
  faulty.erase(rznStart, faulty.find("</RznSocRecep>") + 14 - rznStart);
  const std::string bad = Write("mala.xml", faulty);

  const CliRun run = Quarlo({"--json", "validar", good, bad});
  EXPECT_EQ(run.status, 4) << run.err;
  const auto records = JsonLines(run.out);
  ASSERT_EQ(records.size(), 2u) << run.out;
  EXPECT_EQ(records[0]["ok"], true);
  EXPECT_EQ(records[0]["documento"], "DTE");
  EXPECT_EQ(records[0]["problemas"], 0);
  EXPECT_EQ(records[1]["ok"], false);
  EXPECT_EQ(records[1]["fallo"], NombreFallo(TipoFallo::ErrorLocal));
  std::string paths;
  for (const auto& fault : records[1]["faltas"]) paths += fault["ruta"].get<std::string>() + "|";
  EXPECT_GE(records[1]["problemas"].get<int>(), 3) << records[1].dump();
  EXPECT_NE(paths.find("DTE/Documento/Encabezado/IdDoc|"), std::string::npos) << paths;
  EXPECT_NE(paths.find("DTE/Documento/Encabezado/Totales"), std::string::npos) << paths;
  EXPECT_NE(paths.find("DTE/Documento/Encabezado/Receptor|"), std::string::npos) << paths;

  const CliRun text = Quarlo({"validar", bad});
  EXPECT_EQ(text.status, 4);
  EXPECT_NE(text.out.find("\n  DTE/Documento/Encabezado/IdDoc: "), std::string::npos) << text.out;

  // Every kind the library models, valid as the fixtures stand.
  std::vector<std::string> fixtures;
  for (const char* name : {"boleta_39.xml", "consumo_folios.xml", "libro_compra_venta.xml",
                           "libro_guia.xml", "libro_boleta.xml", "exportacion_110.xml"}) {
    fixtures.push_back(Write(name, testing::ReadTestData(name)));
  }
  std::vector<std::string> args{"--json", "validar"};
  args.insert(args.end(), fixtures.begin(), fixtures.end());
  const CliRun all = Quarlo(args);
  EXPECT_EQ(all.status, 0) << all.out << all.err;
  const auto kinds = JsonLines(all.out);
  ASSERT_EQ(kinds.size(), fixtures.size());
  EXPECT_EQ(kinds[0]["documento"], "boleta");
  EXPECT_EQ(kinds[2]["documento"], "LibroCompraVenta");

  EXPECT_EQ(Quarlo({"validar", Write("texto.xml", "no es XML")}).status, 4);
  EXPECT_EQ(Quarlo({"validar", Write("envio.xml", "<EnvioDTE/>")}).status, 4);
  EXPECT_EQ(Quarlo({"validar", (dir_.path() / "falta.xml").string()}).status, 4);
  for (const CliRun* each : {&run, &text, &all}) {
    EXPECT_EQ((each->out + each->err).find(kApiKey), std::string::npos);
  }
}

TEST_F(LocalCliTest, EachSubcommandHasHelpWithAnExampleAndMissingArgumentsAreUsageErrors) {
  const std::vector<std::vector<std::string>> commands{
      {"caf", "ver"}, {"caf", "subir"}, {"ted", "verificar"}, {"timbrar"}, {"validar"}};
  for (const auto& command : commands) {
    std::vector<std::string> help = command;
    help.push_back("--help");
    const CliRun shown = Quarlo(help);
    EXPECT_EQ(shown.status, 0) << command[0];
    EXPECT_NE(shown.out.find("Ejemplo:\n  quarlo " + command[0]), std::string::npos) << shown.out;
    const CliRun bare = Quarlo(command);
    EXPECT_EQ(bare.status, 2) << command[0] << bare.out;
    EXPECT_NE(bare.err.find("falta"), std::string::npos) << bare.err;
  }
  EXPECT_EQ(Quarlo({"timbrar", "documento.xml"}).status, 2) << "--caf is required";
}

TEST_F(LocalCliTest, VersionNamesTheLibraryItRunsWithWithoutASubcommand) {
  const CliRun shown = Quarlo({"--version"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out, "quarlo " + VersionBiblioteca() + "\n");
}

}  // namespace
}  // namespace QuarloCliente::cli_tests
