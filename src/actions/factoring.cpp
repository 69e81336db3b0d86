#include <cmath>
#include <quarlo/servicio.hpp>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/answer.hpp"
#include "core/numbers.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kDeletePrefix = "Error eliminando Factoring: ";
constexpr std::string_view kUpsertPrefix = "Error Insertando/Actualizando Factoring: ";
constexpr std::string_view kListPrefix = "Error obteniendo los Factorings: ";

// Beyond 2^53 a double no longer holds every whole number, so it cannot name a RUT exactly.
constexpr double kLargestExactWhole = 9007199254740992.0;

std::string WholeNumberRut(double number) {
  if (!std::isfinite(number) || std::trunc(number) != number ||
      std::fabs(number) > kLargestExactWhole) {
    throw Error("el RUT numérico no es un número entero");
  }
  return detail::Decimal(static_cast<long long>(number));
}

// The RUT as its path segment: text as given, a whole number in decimal; anything that cannot
// name a company (nothing, null, empty text, a Boolean, a date, bytes) is refused rather than
// sent as a request for the wrong path.
std::string FactoringRutSegment(const Variant& rut) {
  return std::visit(
      [](const auto& value) -> std::string {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::string>) {
          if (value.empty()) throw Error("el RUT está vacío");
          return value;
        } else if constexpr (std::is_same_v<T, Integer> || std::is_same_v<T, Long> ||
                             std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
          return detail::Decimal(value);
        } else if constexpr (std::is_same_v<T, double>) {
          return WholeNumberRut(value);
        } else if constexpr (std::is_same_v<T, std::monostate>) {
          throw Error("no se indicó el RUT");
        } else if constexpr (std::is_same_v<T, Null>) {
          throw Error("el RUT es nulo");
        } else if constexpr (std::is_same_v<T, bool>) {
          throw Error("el RUT no puede ser un valor lógico");
        } else if constexpr (std::is_same_v<T, Date>) {
          throw Error("el RUT no puede ser una fecha");
        } else {
          static_assert(std::is_same_v<T, Bytes>);
          throw Error("el RUT no puede ser un arreglo de bytes");
        }
      },
      rut.value());
}

}  // namespace

std::shared_ptr<ResultadoServicio> Servicio::DeleteFactoring(const Variant& rut) {
  auto result = std::make_shared<ResultadoServicio>();
  detail::ReportFailures(*result, kDeletePrefix, [&] {
    const std::string url = detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this),
                                               "/DeleteFactoring/", {FactoringRutSegment(rut)});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    detail::CopyResult(answer, *result);
  });
  return result;
}

std::shared_ptr<ResultadoServicio> Servicio::UpsertFactoring(const std::shared_ptr<Fact>& facto) {
  auto result = std::make_shared<ResultadoServicio>();
  detail::ReportFailures(*result, kUpsertPrefix, [&] {
    if (!facto) throw Error("no se recibió el Factoring");
    // IDFactoring stays out: the service matches the company by its RUT.
    const std::string body =
        detail::WriteRequestBody("UpsertFactoringRequest", {{"RUT", facto->rut},
                                                            {"SocialReason", facto->RazonSocial},
                                                            {"Name", facto->NombreFantasia},
                                                            {"Email", facto->CorreoContacto},
                                                            {"Address", facto->Direccion}});
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/UpsertFactoring");
    const detail::ServiceAnswer answer(detail::ServicioAccess::Post(*this, url, body));
    detail::CopyResult(answer, *result);
  });
  return result;
}

std::shared_ptr<ResultObtenerFactorings> Servicio::ObtenerFactorings() {
  auto result = std::make_shared<ResultObtenerFactorings>();
  detail::ReportFailures(*result->ResultadoServicio, kListPrefix, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/GetFactorings");
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    const std::string code = answer.ResultCode();
    const std::string description = code != "0" ? answer.Refusal() : answer.Description();
    if (code != "0") {
      result->ResultadoServicio->SetError(description, TipoFallo::RechazoServicio);
      return;
    }
    const std::string data = answer.Text("Data");
    const Long tiempo = detail::ReadLong(answer.Text("SearchTime"), "SearchTime");
    const Long total = detail::ReadLong(answer.Text("TotalDocuments"), "TotalDocuments");
    result->SetData(data.empty() ? std::string() : detail::DecodeIsoBase64(data), total, tiempo);
  });
  return result;
}

}  // namespace QuarloCliente
