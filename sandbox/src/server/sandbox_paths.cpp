#include "server/sandbox_paths.hpp"

#include <limits>
#include <optional>

#include "protocol/answer.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::string_view kPrefix = "_sandbox";

SandboxPathAnswer Refused(int status, std::string description) {
  return {status, RenderAnswer(Answer::Failure(status, std::move(description)))};
}

SubmissionKey FolioOf(const std::vector<std::string>& segments) {
  return SubmissionKey{
      RequireEnvironment(segments[1]), RequireRut(segments[2], "rut"),
      RequireNumber(segments[3], "tipo", 1, 999),
      RequireNumber(segments[4], "folio", 0, std::numeric_limits<std::int64_t>::max())};
}

SandboxPathAnswer Report(const SubmissionLog& submissions, const RequestView& request) {
  const PathCall path = SplitTarget(request.target);
  const auto& segments = path.segments;
  if (segments.empty() || segments[0] != "envios" ||
      (segments.size() != 1 && segments.size() != 5)) {
    return Refused(404, "ruta desconocida: " + OperationName(request.target) +
                            " (se espera /_sandbox/envios[/ambiente/rut/tipo/folio])");
  }
  if (request.method != "GET") {
    return Refused(405, "/_sandbox/envios se usa con GET, no con " + request.method);
  }
  std::optional<SubmissionKey> only;
  if (segments.size() == 5) only = FolioOf(segments);
  return {200, submissions.Report(only)};
}

}  // namespace

bool IsSandboxPath(std::string_view target) {
  return OperationName(std::string(target)) == kPrefix;
}

SandboxPathAnswer AnswerSandboxPath(const SubmissionLog& submissions, const ApiKeys& keys,
                                    const RequestView& request) {
  if (auto refusal = keys.Refusal(request.authKey)) return Refused(401, *refusal);
  try {
    return Report(submissions, request);
  } catch (const SandboxError& error) {
    return Refused(error.status(), error.description());
  } catch (const std::exception&) {
    return Refused(500, "error interno del sandbox");
  }
}

}  // namespace QuarloSandbox
