#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <quarlo/quarlo.hpp>
#include <string>
#include <thread>
#include <vector>

#include "core/payload.hpp"
#include "support/loopback_server.hpp"
#include "support/sii_schemas.hpp"

// DefaultBindingContext belongs to the caller: whatever the library submits or retrieves, the
// caller's own documents are written and loaded as before, and what is submitted does not depend
// on what the caller registered there.

namespace QuarloCliente {
namespace {

using testing::LoopbackServer;
using testing::ReadTestData;
using testing::ScriptedResponse;

template <class Binding>
std::shared_ptr<Binding> Fixture(std::string_view file) {
  auto document = std::make_shared<Binding>();
  document->Load(ReadTestData(file), std::make_shared<BindingContext>());
  return document;
}

// One submission of a fresh copy of its fixture document, through the given Servicio.
using Submission = std::function<std::string(Servicio&)>;

std::string Outcome(const std::shared_ptr<ResultadoServicio>& status) {
  return status->Estado + " " + status->Descripcion;
}

// Every submission the library makes of a binding document, each on its own fixture.
std::map<std::string, Submission> EverySubmission() {
  return {
      {"dte",
       [](Servicio& s) {
         return Outcome(s.EnviarDocumentoDTE(Fixture<DteDocumentBinding>("factura_33.xml"), "T",
                                             "2014-08-22", 80, 2)
                            ->ResultadoServicio);
       }},
      {"dte autofoliado",
       [](Servicio& s) {
         return Outcome(s.EnviarDocumentoDTE_AutoFoliado(
                             Fixture<DteDocumentBinding>("factura_33.xml"), "T", "f", 1, 2, true)
                            ->ResultadoServicio);
       }},
      {"boleta",
       [](Servicio& s) {
         return Outcome(s.EnviarDocumentoBoleta(Fixture<BoletaDocumentBinding>("boleta_39.xml"),
                                                "T", "2014-08-22", 80, 2)
                            ->ResultadoServicio);
       }},
      {"consumo de folios",
       [](Servicio& s) {
         return Outcome(s.EnviarConsumoFolio(Fixture<ConsumoFoliosBinding>("consumo_folios.xml"),
                                             "T", "2014-08-22", 80, "76981442-6", "2024-05-02",
                                             "2024-05-03")
                            ->ResultadoServicio);
       }},
      {"libro de compra y venta",
       [](Servicio& s) {
         return Outcome(
             s.EnviarLibroCompraVenta(Fixture<LibroCompraVentaBinding>("libro_compra_venta.xml"),
                                      "T", "f", 1, "r", "2024-05", "COMPRA", "MENSUAL", "TOTAL", 0)
                 ->ResultadoServicio);
       }},
      {"libro de guías",
       [](Servicio& s) {
         return Outcome(s.EnviarLibroGuia(Fixture<LibroGuiaBinding>("libro_guia.xml"), "T", "f", 1,
                                          "r", "2024-05", "ESPECIAL", 0)
                            ->ResultadoServicio);
       }},
      {"libro de boletas",
       [](Servicio& s) {
         return Outcome(s.EnviarLibroBoleta(Fixture<LibroBoletaBinding>("libro_boleta.xml"), "T",
                                            "f", 1, "r", "2024-05", "ESPECIAL", 0)
                            ->ResultadoServicio);
       }},
  };
}

// What the caller sees through the default context: its map, its switches and its own document
// written through it.
struct CallerView {
  std::map<std::string, std::string> namespaces;
  bool anyOption = false;
  std::string written;

  bool operator==(const CallerView&) const = default;
};

class CallerContextTest : public ::testing::Test {
 protected:
  CallerContextTest() { Reset(); }
  ~CallerContextTest() override { Reset(); }

  static void Reset() {
    DefaultBindingContext()->ClearNamespaces();
    DefaultBindingContext()->SetAllOptions(false);
  }

  CallerView View() const {
    const auto context = DefaultBindingContext();
    const BindingOptions options = context->Options();
    return {context->Namespaces(),
            options.AllowUnknownElements || options.AllowOutOfOrderElements ||
                options.TrimValueWhitespace || options.DeferValueValidation ||
                options.AllowUnknownAttributes,
            own_->ToXml(context)};
  }

  const std::shared_ptr<DteDocumentBinding> own_ = Fixture<DteDocumentBinding>("factura_33.xml");
};

TEST_F(CallerContextTest, SubmissionsNeitherChangeNorFollowTheCallersContext) {
  LoopbackServer server;
  Servicio reaching;
  reaching.Configurar(server.BaseUrl(), "llave");
  Servicio failing;
  failing.Configurar("http://127.0.0.1:" + std::to_string(testing::UnusedPort()), "llave");

  // The caller's two ways of writing: the default map, and a prefix of its own for the SII.
  const std::vector<std::map<std::string, std::string>> callerMaps = {
      {}, {{std::string(SiiDteNamespace), "sii"}}};
  std::map<std::string, std::string> firstBodies;
  std::size_t sent = 0;
  for (const auto& callerMap : callerMaps) {
    Reset();
    for (const auto& [uri, prefix] : callerMap)
      DefaultBindingContext()->RegisterNamespace(uri, prefix);
    const CallerView before = View();
    ASSERT_EQ(before.written.find("ABCXYZ"), std::string::npos);
    for (const auto& [name, submit] : EverySubmission()) {
      submit(reaching);
      const std::string body = server.WaitForRequest(sent++).body;
      // The same bytes whatever the caller registered.
      const auto [first, isFirst] = firstBodies.emplace(name, body);
      if (!isFirst) {
        EXPECT_EQ(body, first->second) << name;
      }
      EXPECT_EQ(View(), before) << name << " sent";

      EXPECT_EQ(submit(failing).substr(0, 1), "1") << name;
      EXPECT_EQ(View(), before) << name << " failed";
    }
  }
}

// An EnvioDTE as the service keeps it, its DTE holding an element the schema does not declare.
std::string RetrievedEnvelope() {
  std::string dte = ReadTestData("factura_33.xml");
  dte = dte.substr(dte.find("?>") + 2);
  dte.insert(dte.find("</Emisor>"), "<Sucursal2>Casa matriz</Sucursal2>");
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<EnvioDTE "
         "xmlns=\"http://www.sii.cl/SiiDte\" version=\"1.0\"><SetDTE ID=\"SetDoc\">" +
         dte + "</SetDTE><Personalizados><Vendedor>María</Vendedor></Personalizados></EnvioDTE>";
}

TEST_F(CallerContextTest, RetrievalLoadsLenientlyWhileTheCallerStaysStrict) {
  LoopbackServer server;
  const std::string envelope = RetrievedEnvelope();
  server.SetDefault(ScriptedResponse::Xml(
      "<Response xmlns=\"http://www.quarlo.cl/servicio/v1\"><Result>0</Result><Data>" +
      detail::EncodeIsoBase64(envelope) + "</Data></Response>"));
  Servicio servicio;
  servicio.Configurar(server.BaseUrl(), "llave");
  DefaultBindingContext()->RegisterNamespace(SiiDteNamespace, "sii");
  const CallerView before = View();

  const auto result = servicio.RecuperarDocumento("T", "E", "76543210-3", "33", "1523");
  ASSERT_EQ(result->ResultadoServicio->Estado, "0") << result->ResultadoServicio->Descripcion;
  const auto dte = std::dynamic_pointer_cast<ResultadoDocDTE>(result->Data)->Documento;
  EXPECT_EQ(dte->Get("Documento/Encabezado/Emisor/Sucursal2"), "Casa matriz");
  EXPECT_EQ(dte->Personalizados()->Get("Vendedor"), "María");
  EXPECT_EQ(View(), before);

  // The caller's own load of the same DTE is still refused.
  std::string unknown = ReadTestData("factura_33.xml");
  unknown.insert(unknown.find("</Emisor>"), "<Sucursal2>Casa matriz</Sucursal2>");
  EXPECT_THROW(std::make_shared<DteDocumentBinding>()->Load(unknown, DefaultBindingContext()),
               Error);
}

TEST_F(CallerContextTest, ConcurrentSubmissionsSendTheSameBytesWhileTheCallerRegisters) {
  constexpr int kThreads = 8;
  constexpr int kEach = 3;
  LoopbackServer server;
  server.KeepRequests(kThreads * kEach + 1);
  const auto submit = EverySubmission().at("dte");
  {
    Servicio servicio;
    servicio.Configurar(server.BaseUrl(), "llave");
    submit(servicio);
  }
  const std::string expected = server.WaitForRequest(0).body;

  std::atomic<int> running = kThreads;
  std::thread caller([&] {
    const auto context = DefaultBindingContext();
    for (int round = 0; running.load() > 0; ++round) {
      context->RegisterNamespace(SiiDteNamespace, round % 2 == 0 ? "sii" : "ABCXYZ");
      context->RegisterNamespace("http://www.w3.org/2000/09/xmldsig#", "ds");
      context->ClearNamespaces();
    }
  });
  std::vector<std::thread> submitters;
  for (int t = 0; t < kThreads; ++t) {
    submitters.emplace_back([&] {
      Servicio servicio;
      servicio.Configurar(server.BaseUrl(), "llave");
      for (int i = 0; i < kEach; ++i) submit(servicio);
      --running;
    });
  }
  for (auto& submitter : submitters) submitter.join();
  caller.join();

  ASSERT_EQ(server.RequestCount(), static_cast<std::size_t>(kThreads * kEach + 1));
  for (const auto& request : server.Requests()) EXPECT_EQ(request.body, expected);
}

}  // namespace
}  // namespace QuarloCliente
