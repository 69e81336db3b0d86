#include "server/dispatcher.hpp"

#include <openssl/crypto.h>

#include <quarlo/error.hpp>

#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "server/routes.hpp"

namespace QuarloSandbox {

namespace {

bool SameKey(const std::string& a, const std::string& b) {
  // Constant time, so that the answer's timing does not tell how much of a key was right.
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

Answer RouteRequest(ServiceContext& context, const ApiKeys& keys, const RequestView& request) {
  if (auto refusal = keys.Refusal(request.authKey)) return Answer::Failure(401, *refusal);
  PathCall path = SplitTarget(request.target);
  const Route* route = FindRoute(path.operation);
  if (route == nullptr) {
    return Answer::Failure(404, "ruta desconocida: /" + path.operation);
  }
  const bool post = request.method == "POST";
  if (post != route->post || (request.method != "GET" && request.method != "POST")) {
    return Answer::Failure(405, "/" + path.operation + " se usa con " +
                                    (route->post ? "POST" : "GET") + ", no con " + request.method);
  }
  if (!post && static_cast<int>(path.segments.size()) != route->segments) {
    return Answer::Failure(
        400,
        "/" + path.operation + " espera " + std::to_string(route->segments) + " segmentos" +
            (route->segmentNames.empty() ? "" : " (" + std::string(route->segmentNames) + ")") +
            " y llegaron " + std::to_string(path.segments.size()));
  }
  Call call{std::move(path.segments), request.body, request.baseUrl, request.submitted};
  return route->operation(context, call);
}

}  // namespace

std::optional<std::string> ApiKeys::Refusal(const std::optional<std::string>& key) const {
  if (Open()) return std::nullopt;
  if (!key) return "falta la cabecera AuthKey con la llave de API";
  for (const auto& accepted : keys_) {
    if (SameKey(accepted, *key)) return std::nullopt;
  }
  return "la llave de API de la cabecera AuthKey no es válida";
}

Answer Dispatch(ServiceContext& context, const ApiKeys& keys, const RequestView& request) {
  try {
    return RouteRequest(context, keys, request);
  } catch (const SandboxError& error) {
    return Answer::Failure(error.status(), error.description());
  } catch (const QuarloCliente::Error& error) {
    // The library's helpers refuse malformed values; here they came from the request.
    return Answer::Failure(400, error.what());
  } catch (const std::exception& error) {
    return Answer::Failure(500, std::string("error interno del sandbox: ") + error.what());
  } catch (...) {
    return Answer::Failure(500, "error interno del sandbox");
  }
}

std::string OperationName(const std::string& target) {
  const auto start = target.find_first_not_of('/');
  if (start == std::string::npos) return "/";
  const auto end = target.find_first_of("/?#", start);
  return target.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace QuarloSandbox
