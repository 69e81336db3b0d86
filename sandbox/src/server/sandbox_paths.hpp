#pragma once

// The sandbox's own paths, beside the protocol's: under /_sandbox/, which no operation of the
// protocol can name, and protected by the same API keys.

#include <string>
#include <string_view>

#include "server/dispatcher.hpp"
#include "server/submissions.hpp"

namespace QuarloSandbox {

// Whether the target is one of the sandbox's own paths rather than the protocol's.
bool IsSandboxPath(std::string_view target);

// What a request to a sandbox path is answered with: the status and an XML body.
struct SandboxPathAnswer {
  int status = 200;
  std::string body;
};

// GET /_sandbox/envios lists every counted submission; GET
// /_sandbox/envios/<ambiente>/<rut>/<tipo>/<folio> those of one folio. Any other sandbox path is
// 404, another method 405, a missing or wrong key 401 and a bad segment 400, each as a Response.
SandboxPathAnswer AnswerSandboxPath(const SubmissionLog& submissions, const ApiKeys& keys,
                                    const RequestView& request);

}  // namespace QuarloSandbox
