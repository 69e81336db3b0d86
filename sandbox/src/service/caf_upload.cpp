#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/operations.hpp"

namespace QuarloSandbox {

namespace {

std::string Describe(const Caf& caf) {
  return "tipo " + std::to_string(caf.tipoDte) + ", folios " + std::to_string(caf.desde) + "-" +
         std::to_string(caf.hasta) + " del emisor " + caf.rutEmisor;
}

}  // namespace

Answer UploadCaf(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "UploadCafRequest");
  const std::string environment = RequireEnvironment(request.Field("Environment"));
  const auto bytes = DecodeBase64Field(request.Field("Base64StrCaf"), "Base64StrCaf");
  // The file's bytes as uploaded: ParseCaf reads them in the encoding the file uses.
  const Caf caf =
      ParseCaf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  const std::string& text = caf.xml;
  if (!CafSignedBy(caf, context.authority)) {
    throw SandboxError(422, "el CAF (" + Describe(caf) +
                                ") no está firmado por la autoridad de este sandbox; emita "
                                "uno con 'quarlo-sandbox caf' y la misma --authority-key");
  }
  return context.store.Write([&](StoreTx& tx) {
    Answer answer;
    if (auto same =
            tx.CafOverlapping(environment, caf.rutEmisor, caf.tipoDte, caf.desde, caf.hasta)) {
      if (same->desde != caf.desde || same->hasta != caf.hasta || same->xml != text) {
        throw SandboxError(409, "el CAF (" + Describe(caf) +
                                    ") se superpone con el CAF de folios " +
                                    std::to_string(same->desde) + "-" +
                                    std::to_string(same->hasta) + " ya cargado");
      }
      answer.description = "el CAF ya estaba cargado";
      return answer;
    }
    tx.InsertCaf(environment, caf.rutEmisor, caf.tipoDte, CafRow{0, caf.desde, caf.hasta, text},
                 NowText());
    return answer;
  });
}

}  // namespace QuarloSandbox
