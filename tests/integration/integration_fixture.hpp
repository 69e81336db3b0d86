#pragma once

// What the integration tests share: a sandbox process of their own with a Servicio pointed at it,
// CAFs issued with that sandbox's authority key, and the fixture documents dated today.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <quarlo/quarlo.hpp>
#include <stdexcept>
#include <string>

#include "core/charset.hpp"
#include "crypto/caf.hpp"
#include "sandbox/image_checks.hpp"
#include "sandbox_process.hpp"
#include "service/ted.hpp"
#include "sii_schemas.hpp"

namespace QuarloCliente::integration {

namespace checks = QuarloSandbox::checks;

inline const std::string kApiKey = "llave-integracion-Ñ";
inline const std::string kAmbiente = "T";
inline const std::string kEmisor = "76543210-3";  // of factura_33.xml
inline const std::string kReceptor = "77214903-4";
inline const std::string kEmisorBoletas = "76981442-6";  // of boleta_39.xml
inline const std::string kFechaResolucion = "2014-08-22";
inline constexpr Integer kNroResolucion = 80;

// Fails the test through an exception when the service refused the step.
inline void Require(const std::shared_ptr<ResultadoServicio>& result, const std::string& step) {
  if (result->Estado != "0") {
    throw std::runtime_error(step + " falló: " + result->Estado + " " + result->Descripcion);
  }
}

// The folio a stamped TED carries.
inline std::string FolioOf(const std::string& ted) {
  Servicio local;
  return local.NodeValue(XmlDocument::Parse(ted), "//DD/F");
}

// The ISO-8859-1 bytes of a TED, which is what its PDF417 symbol holds.
inline Bytes TedBytes(const std::string& ted) {
  return detail::Utf8ToLatin1(ted);
}

class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }

  void TearDown() override {
    if (sandbox_) {
      // An idle keep-alive connection would hold the server's shutdown for seconds.
      servicio_ = Servicio();
      const int status = sandbox_->Stop();
      EXPECT_EQ(status, 0) << "quarlo-sandbox no terminó limpiamente:\n" << sandbox_->Log();
    }
  }

  // Starts a sandbox in the test's folder (on the given store, with more options when given) and
  // points servicio_ at it.
  void Start(const std::filesystem::path& db = {}, std::vector<std::string> extraArgs = {}) {
    sandbox_.emplace(SandboxOptions{dir_.path(), kApiKey, db, std::move(extraArgs)});
    servicio_.Configurar(sandbox_->Uri(), kApiKey);
  }

  // A new CAF of the sandbox's authority, written to a file and uploaded with EnviarCAF.
  QuarloSandbox::Caf SubirCaf(const std::string& rut, int tipo, long desde, long hasta) {
    const auto authority =
        QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string());
    QuarloSandbox::Caf caf =
        QuarloSandbox::IssueTestCaf(rut, "Emisor de Ñuñoa", tipo, desde, hasta, authority);
    const auto file =
        dir_.path() / ("caf_" + std::to_string(tipo) + "_" + std::to_string(desde) + ".xml");
    checks::WriteFile(file, Bytes(caf.xml.begin(), caf.xml.end()));
    Require(servicio_.EnviarCAF(kAmbiente, file.string()), "EnviarCAF");
    return caf;
  }

  // factura_33.xml dated today, with the given folio.
  std::shared_ptr<DteDocumentBinding> Factura(long folio = 1) const {
    auto factura = std::make_shared<DteDocumentBinding>();
    factura->Load(testing::ReadTestData("factura_33.xml"), DefaultBindingContext());
    factura->Documento()->Encabezado()->IdDoc()->SetFolio(folio).SetFchEmis(
        BindingDateTime::FromDate(hoy_));
    return factura;
  }

  // boleta_39.xml dated today, with the given folio.
  std::shared_ptr<BoletaDocumentBinding> Boleta(long folio = 1) const {
    auto boleta = std::make_shared<BoletaDocumentBinding>();
    boleta->Load(testing::ReadTestData("boleta_39.xml"), DefaultBindingContext());
    boleta->Documento()->Encabezado()->IdDoc()->SetFolio(folio).SetFchEmis(
        BindingDateTime::FromDate(hoy_));
    return boleta;
  }

  // Submits a factura with automatic numbering; its stamped result.
  std::shared_ptr<ResultadoEnviarDocumento> EmitirFactura(Servicio& servicio) const {
    auto result = servicio.EnviarDocumentoDTE_AutoFoliado(
        Factura(), kAmbiente, kFechaResolucion, kNroResolucion, servicio.TipoPDF417_Grafico, true);
    Require(result->ResultadoServicio, "EnviarDocumentoDTE_AutoFoliado");
    return result;
  }
  std::string EmitirFactura() { return FolioOf(EmitirFactura(servicio_)->TED); }

  std::string EmitirBoleta() {
    const auto result = servicio_.EnviarDocumentoBoleta_AutoFoliado(
        Boleta(), kAmbiente, kFechaResolucion, kNroResolucion, servicio_.TipoPDF417_Grafico, true);
    Require(result->ResultadoServicio, "EnviarDocumentoBoleta_AutoFoliado");
    return FolioOf(result->TED);
  }

  std::string Hoy(const char* pattern = "yyyy-MM-dd") const { return FormatDate(hoy_, pattern); }

  // One date for the whole test, so that a test running over midnight stays consistent.
  const Date hoy_ = Now();
  checks::TempDir dir_;
  std::optional<SandboxProcess> sandbox_;
  Servicio servicio_;
};

}  // namespace QuarloCliente::integration
