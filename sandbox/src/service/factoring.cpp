#include <chrono>

#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "protocol/xml_writer.hpp"
#include "sandbox_error.hpp"
#include "service/operations.hpp"

namespace QuarloSandbox {

Answer GetFactorings(ServiceContext& context, const Call&) {
  const auto started = std::chrono::steady_clock::now();
  const auto factorings = context.store.Read([](StoreTx& tx) { return tx.Factorings(); });
  XmlWriter xml;
  xml.Open("Factorings");
  for (const auto& f : factorings) {
    xml.Open("document").Element("IDFactoring", std::to_string(f.id));
    xml.Element("Direccion", f.address).Element("CorreoContacto", f.email);
    xml.Element("NombreFantasia", f.nombreFantasia).Element("RazonSocial", f.razonSocial);
    xml.Element("RUT", f.rut).Close("document");
  }
  xml.Close("Factorings");
  Answer answer;
  answer.Add("Data", IsoBase64(xml.Text()));
  answer.Add("SearchTime", ElapsedMilliseconds(started));
  answer.Add("TotalDocuments", std::to_string(factorings.size()));
  return answer;
}

Answer UpsertFactoring(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "UpsertFactoringRequest");
  Factoring f;
  f.rut = RequireRut(request.Field("RUT"), "RUT");
  f.razonSocial = request.Field("SocialReason");
  f.nombreFantasia = request.Field("Name");
  f.email = request.Field("Email");
  f.address = request.Field("Address");
  if (f.razonSocial.empty()) throw SandboxError(400, "falta la razón social (SocialReason)");
  const std::int64_t id = context.store.Write([&](StoreTx& tx) { return tx.UpsertFactoring(f); });
  Answer answer;
  answer.Add("IDFactoring", std::to_string(id));
  return answer;
}

// Segments: the RUT.
Answer DeleteFactoring(ServiceContext& context, const Call& call) {
  const std::string rut = RequireRut(call.segments[0], "RUT");
  const bool deleted = context.store.Write([&](StoreTx& tx) { return tx.DeleteFactoring(rut); });
  if (!deleted) throw SandboxError(404, "no existe el factoring de RUT " + rut);
  return Answer{};
}

}  // namespace QuarloSandbox
