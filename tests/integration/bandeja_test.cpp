// The outbox delivering to a real sandbox: CAFs first, documents once each, refusals kept, a
// sandbox that is down waited for, and an attempt left unfinished asked about before any resend.

#include <httplib.h>
#include <sqlite3.h>

#include <chrono>
#include <map>
#include <quarlo/bandeja.hpp>
#include <thread>

#include "integration_fixture.hpp"
#include "sandbox/submission_report.hpp"

namespace QuarloCliente::integration {
namespace {

class BandejaIntegracion : public IntegrationTest {
 protected:
  void SetUp() override { Start(db_); }

  // A CAF of the sandbox's authority, not uploaded: the outbox uploads it.
  Bytes Caf(const std::string& rut, int tipo, long desde, long hasta) {
    const auto authority =
        QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string());
    const auto caf =
        QuarloSandbox::IssueTestCaf(rut, "Emisor de Ñuñoa", tipo, desde, hasta, authority);
    return Bytes(caf.xml.begin(), caf.xml.end());
  }

  std::unique_ptr<BandejaSalida> Bandeja() {
    auto bandeja = std::make_unique<BandejaSalida>((dir_.path() / "caja.bandeja").string());
    bandeja->Configurar(kAmbiente, kFechaResolucion, kNroResolucion);
    bandeja->ConfigurarReintentos(std::chrono::milliseconds(1), std::chrono::milliseconds(20));
    return bandeja;
  }

  // Drains until nothing is pending, polling since retries wait their backoff; false when the
  // deadline passes first.
  bool DrainAll(BandejaSalida& bandeja) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (bandeja.Conteo().pendientes > 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      bandeja.Enviar(servicio_);
    }
    return true;
  }

  // Runs SQL on the outbox file, as another process or a crash would leave it.
  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_.path() / "caja.bandeja").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  }

  std::vector<std::string> Operations(BandejaSalida& bandeja, std::int64_t item) {
    std::vector<std::string> operations;
    for (const auto& attempt : bandeja.Historial(item)) {
      operations.push_back(attempt.operacion + ":" + attempt.resultado);
    }
    return operations;
  }

  // How many submissions of each folio reached the sandbox.
  std::map<std::string, int> SubmissionsPerFolio() {
    httplib::Client client(sandbox_->Uri());
    const auto reply = client.Get("/_sandbox/envios", {{"AuthKey", kApiKey}});
    EXPECT_TRUE(reply && reply->status == 200);
    std::map<std::string, int> counts;
    if (!reply) return counts;
    for (const auto& envio : QuarloSandbox::testing::ReadSubmissionReport(reply->body).envios) {
      ++counts[envio.folio];
    }
    return counts;
  }

  const std::filesystem::path db_ = dir_.path() / "quarlo.db";
};

TEST_F(BandejaIntegracion, CafsGoFirstAndEachDocumentIsAcceptedOnceWithItsTrackId) {
  auto bandeja = Bandeja();
  bandeja->RegistrarCaf(Caf(kEmisorBoletas, 39, 1, 50));
  // An anonymous sale: the boleta carries no receiver name.
  const EmisionLocal first = bandeja->EmitirBoleta(Boleta());
  const EmisionLocal second = bandeja->EmitirBoleta(Boleta());
  ASSERT_EQ(first.folio, 1);

  const ResumenEnvio summary = bandeja->Enviar(servicio_);
  EXPECT_EQ(summary.aceptados, 3);
  EXPECT_EQ(bandeja->Conteo().aceptados, 3);
  const auto accepted = bandeja->Items(EstadoItem::Aceptado);
  ASSERT_EQ(accepted.size(), 3u);
  EXPECT_EQ(accepted[0].clase, ClaseItem::Caf);
  for (std::size_t i = 1; i < accepted.size(); ++i) {
    EXPECT_FALSE(accepted[i].idSeguimiento.empty()) << i;
    EXPECT_EQ(Operations(*bandeja, accepted[i].id), std::vector<std::string>{"envio:aceptado"});
  }
  EXPECT_EQ(bandeja->Enviar(servicio_).intercambios, 0) << "nothing is sent twice";
  EXPECT_FALSE(bandeja->AntiguedadPendiente().has_value());

  // The service keeps the stamp the point of sale printed.
  const auto xml = servicio_.RecuperarXML(kAmbiente, "E", kEmisorBoletas, "39", "2", false);
  Require(xml->ResultadoServicio, "RecuperarXML");
  EXPECT_NE(xml->Datos.find(servicio_.NodeValue(XmlDocument::Parse(second.ted), "//FRMT")),
            std::string::npos);

  // A CAF the service already holds counts as delivered.
  const Bytes held = Caf(kEmisorBoletas, 39, 51, 60);
  const auto file = dir_.path() / "caf_51.xml";
  checks::WriteFile(file, held);
  Require(servicio_.EnviarCAF(kAmbiente, file.string()), "EnviarCAF");
  bandeja->RegistrarCaf(held);
  EXPECT_EQ(bandeja->Enviar(servicio_).aceptados, 1);
}

TEST_F(BandejaIntegracion, AnAttemptLeftUnfinishedIsAskedAboutBeforeAnyResend) {
  auto bandeja = Bandeja();
  bandeja->RegistrarCaf(Caf(kEmisorBoletas, 39, 1, 50));
  bandeja->Enviar(servicio_);
  const EmisionLocal arrived = bandeja->EmitirBoleta(Boleta());
  // The dead process's submission reached the service before it died.
  const auto stored = bandeja->Documento(kEmisorBoletas, 39, arrived.folio);
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  boleta->Load(stored.xml, DefaultBindingContext());
  Require(servicio_
              .EnviarDocumentoBoleta_TED(boleta, kAmbiente, kFechaResolucion, kNroResolucion,
                                         servicio_.TipoPDF417_Grafico, stored.ted)
              ->ResultadoServicio,
          "EnviarDocumentoBoleta_TED");

  // Another process died before its submission left: the service does not hold that one.
  const EmisionLocal lost = bandeja->EmitirBoleta(Boleta());
  for (const std::int64_t item : {arrived.item, lost.item}) {
    Sql("UPDATE item SET incierto = 1, intentos = 1 WHERE id = " + std::to_string(item) +
        "; INSERT INTO intento(item, operacion, inicio) VALUES (" + std::to_string(item) +
        ", 'envio', 0)");
  }

  const ResumenEnvio summary = bandeja->Enviar(servicio_);
  EXPECT_EQ(summary.aceptados, 2);
  EXPECT_EQ(Operations(*bandeja, arrived.item),
            (std::vector<std::string>{"envio:", "consulta:aceptado"}))
      << "held by the service: accepted without a resend";
  EXPECT_EQ(Operations(*bandeja, lost.item),
            (std::vector<std::string>{"envio:", "consulta:pendiente", "envio:aceptado"}))
      << "not held: sent once the service said so";
  for (const ItemBandeja& item : bandeja->Items(EstadoItem::Aceptado)) {
    if (item.clase == ClaseItem::Boleta) {
      EXPECT_FALSE(item.idSeguimiento.empty()) << item.folio;
    }
  }
}

TEST_F(BandejaIntegracion, RefusalsAreKeptWithTheirReasonAndNeverRetried) {
  auto bandeja = Bandeja();
  // A CAF of another authority: the service refuses it, and then the boleta stamped with it.
  const std::string foreign = testing::ReadTestData("ted/caf_39.xml");
  bandeja->RegistrarCaf(Bytes(foreign.begin(), foreign.end()));
  const EmisionLocal issued = bandeja->EmitirBoleta(Boleta());

  EXPECT_EQ(bandeja->Enviar(servicio_).rechazados, 2);
  const auto refused = bandeja->Items(EstadoItem::Rechazado);
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused[0].clase, ClaseItem::Caf);
  for (const ItemBandeja& item : refused) {
    EXPECT_FALSE(item.motivo.empty());
    const auto attempts = bandeja->Historial(item.id);
    ASSERT_EQ(attempts.size(), 1u);
    EXPECT_EQ(attempts[0].tipoFallo, NombreFallo(TipoFallo::RechazoServicio)) << item.motivo;
  }
  EXPECT_EQ(bandeja->Enviar(servicio_).intercambios, 0);
  EXPECT_EQ(bandeja->Historial(issued.item).size(), 1u);
}

TEST_F(BandejaIntegracion, WhileTheServiceIsDownItemsWaitAndGoWhenItIsBack) {
  auto bandeja = Bandeja();
  bandeja->RegistrarCaf(Caf(kEmisorBoletas, 39, 1, 50));
  const EmisionLocal issued = bandeja->EmitirBoleta(Boleta());
  const std::string uri = sandbox_->Uri();
  servicio_ = Servicio();
  ASSERT_EQ(sandbox_->Stop(), 0) << sandbox_->Log();
  servicio_.Configurar(uri, kApiKey);

  const ResumenEnvio down = bandeja->Enviar(servicio_);
  EXPECT_EQ(down.intercambios, 1) << "the drain stops at the first item that cannot be sent";
  EXPECT_EQ(down.pendientes, 1);
  const auto pending = bandeja->Items(EstadoItem::Pendiente);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_FALSE(pending[0].puedeHaberLlegado) << "nothing left this machine";
  EXPECT_EQ(bandeja->Historial(pending[0].id).back().tipoFallo,
            NombreFallo(TipoFallo::SinConexion));
  EXPECT_TRUE(bandeja->AntiguedadPendiente().has_value());

  Start(db_);
  ASSERT_TRUE(DrainAll(*bandeja));
  EXPECT_EQ(bandeja->Conteo().aceptados, 2);
  EXPECT_EQ(Operations(*bandeja, issued.item), std::vector<std::string>{"envio:aceptado"});
}

TEST_F(BandejaIntegracion, TheDaysFolioReportIsDeliveredWithTheBoletasAndAcceptedOnce) {
  auto bandeja = Bandeja();
  bandeja->RegistrarCaf(Caf(kEmisorBoletas, 39, 1, 50));
  for (int i = 0; i < 3; ++i) bandeja->EmitirBoleta(Boleta());
  const Date today = Now();
  const std::int64_t report = bandeja->EncolarConsumoFolios(kEmisorBoletas, today);

  EXPECT_EQ(bandeja->Enviar(servicio_).aceptados, 5);
  const auto reports = bandeja->Items(EstadoItem::Aceptado);
  ASSERT_EQ(reports.back().id, report);
  EXPECT_EQ(reports.back().clase, ClaseItem::ConsumoFolios);
  EXPECT_EQ(Operations(*bandeja, report), std::vector<std::string>{"envio:aceptado"});
  const auto status = servicio_.EstadoFiscalConsumoFolios(kEmisorBoletas, kAmbiente, today);
  Require(status->ResultadoServicio, "EstadoFiscalConsumoFolios");
  EXPECT_EQ(bandeja->Enviar(servicio_).intercambios, 0);
}

TEST_F(BandejaIntegracion, DrainsOfOneFileFromTwoObjectsAtOnceSendEachDocumentOnce) {
  auto first = Bandeja();
  first->RegistrarCaf(Caf(kEmisorBoletas, 39, 1, 200));
  for (int i = 0; i < 200; ++i) first->EmitirBoleta(Boleta());
  // Another till, another object and connection, on the same file.
  BandejaSalida second((dir_.path() / "caja.bandeja").string());
  Servicio other;
  other.Configurar(sandbox_->Uri(), kApiKey);
  std::vector<ResumenEnvio> summaries(2);
  {
    std::jthread firstDrain([&] { summaries[0] = first->Enviar(servicio_); });
    std::jthread secondDrain([&] { summaries[1] = second.Enviar(other); });
  }
  EXPECT_EQ(summaries[0].aceptados + summaries[1].aceptados, 201);
  EXPECT_EQ(first->Conteo().aceptados, 201);
  const auto counts = SubmissionsPerFolio();
  EXPECT_EQ(counts.size(), 200u);
  for (const auto& [folio, count] : counts) EXPECT_EQ(count, 1) << "folio " << folio;
}

TEST_F(BandejaIntegracion, ADrainThatLosesTheServiceLeavesTheItemsItDidNotTryAsTheyWere) {
  auto bandeja = Bandeja();
  bandeja->ConfigurarEnviosSimultaneos(4);
  bandeja->RegistrarCaf(Caf(kEmisorBoletas, 39, 1, 50));
  ASSERT_EQ(bandeja->Enviar(servicio_).aceptados, 1);
  for (int i = 0; i < 30; ++i) bandeja->EmitirBoleta(Boleta());
  const std::string uri = sandbox_->Uri();
  servicio_ = Servicio();
  ASSERT_EQ(sandbox_->Stop(), 0) << sandbox_->Log();
  servicio_.Configurar(uri, kApiKey);

  const ResumenEnvio down = bandeja->Enviar(servicio_);
  EXPECT_GE(down.intercambios, 1);
  EXPECT_LE(down.intercambios, 4) << "each connection stops at its first failure";
  int tried = 0;
  for (const ItemBandeja& item : bandeja->Items(EstadoItem::Pendiente)) {
    EXPECT_FALSE(item.puedeHaberLlegado) << "nothing left this machine";
    const auto attempts = bandeja->Historial(item.id);
    EXPECT_EQ(attempts.size(), static_cast<std::size_t>(item.intentos)) << item.folio;
    if (!attempts.empty()) {
      ++tried;
      EXPECT_EQ(attempts.back().tipoFallo, NombreFallo(TipoFallo::SinConexion));
    }
  }
  EXPECT_EQ(tried, down.intercambios);

  Start(db_);
  ASSERT_TRUE(DrainAll(*bandeja));
  EXPECT_EQ(bandeja->Conteo().aceptados, 31);
}

}  // namespace
}  // namespace QuarloCliente::integration
