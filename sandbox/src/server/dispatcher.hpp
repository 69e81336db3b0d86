#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/answer.hpp"
#include "service/context.hpp"

namespace QuarloSandbox {

struct SubmittedDocument;

// The API keys the sandbox accepts in the AuthKey header. With none configured every request is
// accepted, whatever its key (the sandbox then warns at start-up).
class ApiKeys {
 public:
  explicit ApiKeys(std::vector<std::string> keys) : keys_(std::move(keys)) {}
  bool Open() const { return keys_.empty(); }
  // Nothing when the key is accepted, else why it is not.
  std::optional<std::string> Refusal(const std::optional<std::string>& key) const;

 private:
  std::vector<std::string> keys_;
};

// One HTTP request as the dispatcher needs it.
struct RequestView {
  std::string method;
  std::string target;  // the raw request target, still percent-encoded
  std::optional<std::string> authKey;
  std::string body;
  std::string baseUrl;
  // The submission's body as the server read it to count it, null when it did not.
  std::shared_ptr<SubmittedDocument> submitted = nullptr;
};

// The answer to one request: 401 for a refused key, 404 for an unknown path, 405 for a method
// the path does not take, 400 for a wrong number of segments, else the operation's answer or
// its refusal. Never throws: an unexpected failure is a 500 that says so.
Answer Dispatch(ServiceContext& context, const ApiKeys& keys, const RequestView& request);

// The operation a target names ("FiscalStatus"), without its segments (which may hold secrets),
// for logging.
std::string OperationName(const std::string& target);

}  // namespace QuarloSandbox
