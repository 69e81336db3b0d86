// Whatever a client sends the sandbox, its answer, and every XML it carries in Base64, is
// well-formed XML, and its status is not 500, which the sandbox keeps for its own faults; nothing
// may crash, leak or read out of bounds.
//
// An input is one or more requests separated by a line "--". The first line of each is
// "METHOD TARGET [HOST]" (the target still percent-encoded, the host as the Host header would
// give it) and the body follows. Every input starts from an empty store that holds CAFs for the
// test fixtures' issuers, so that a submission is stamped and later requests find it, and so that
// an input replays the same way every time.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <quarlo/error.hpp>
#include <quarlo/namespaces.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/xml.hpp"
#include "crypto/caf.hpp"
#include "protocol/answer.hpp"
#include "server/dispatcher.hpp"
#include "store/store.hpp"

namespace {

using namespace QuarloSandbox;

constexpr std::size_t kMaxRequests = 6;
constexpr std::string_view kSeparator = "\n--\n";
constexpr const char* kDefaultBase = "http://127.0.0.1:8080";

const AuthorityKey& Authority() {
  static const AuthorityKey key = AuthorityKey::Generate();
  return key;
}

// UploadCaf bodies for the issuers of the fixtures: facturas (33) of 76543210-3, boletas (39) of
// 76981442-6, folios 1 to 100 each. Issued once: generating their keys is the slow part.
const std::vector<std::string>& CafUploads() {
  static const std::vector<std::string> bodies = [] {
    std::vector<std::string> made;
    for (const auto& [rut, tipo] : {std::pair{"76543210-3", 33}, std::pair{"76981442-6", 39}}) {
      const Caf caf = IssueTestCaf(rut, "Emisor de prueba", tipo, 1, 100, Authority());
      const std::string base64 = QuarloCliente::detail::EncodeBase64(
          std::span(reinterpret_cast<const std::uint8_t*>(caf.xml.data()), caf.xml.size()));
      made.push_back("<UploadCafRequest xmlns=\"" + std::string(QuarloCliente::ApiNamespace) +
                     "\"><Environment>T</Environment><Base64StrCaf>" + base64 +
                     "</Base64StrCaf></UploadCafRequest>");
    }
    return made;
  }();
  return bodies;
}

[[noreturn]] void Fail(const std::string& why, const RequestView& request) {
  std::fprintf(stderr, "%s\n  after %s %s\n", why.c_str(), request.method.c_str(),
               request.target.c_str());
  std::abort();
}

RequestView ReadRequest(std::string_view text) {
  const auto lineEnd = text.find('\n');
  std::string_view line = text.substr(0, lineEnd);
  RequestView request;
  const auto firstSpace = line.find(' ');
  request.method = std::string(line.substr(0, firstSpace));
  line = firstSpace == std::string_view::npos ? std::string_view{} : line.substr(firstSpace + 1);
  const auto secondSpace = line.find(' ');
  request.target = std::string(line.substr(0, secondSpace));
  request.baseUrl = secondSpace == std::string_view::npos
                        ? std::string(kDefaultBase)
                        : "http://" + std::string(line.substr(secondSpace + 1));
  if (lineEnd != std::string_view::npos) request.body = std::string(text.substr(lineEnd + 1));
  return request;
}

// A payload that is Base64 of XML (a document, a listing, a TED) must parse too, read as the
// library reads it.
void CheckNestedXml(const std::string& name, const std::string& text, const RequestView& request) {
  // Other payloads are plain text, some of which (a status code) happen to read as Base64.
  if (name != "Data" && name != "TED") return;
  QuarloCliente::Bytes bytes;
  try {
    bytes = QuarloCliente::detail::DecodeBase64(text);
  } catch (const QuarloCliente::Error&) {
    return;
  }
  if (bytes.empty() || bytes.front() != '<') return;
  // The protocol's Base64 payloads are ISO-8859-1 bytes, which the library turns into text first.
  const std::string xml = QuarloCliente::detail::Latin1ToUtf8(bytes);
  if (!QuarloCliente::detail::ParseHeldXml(xml)) {
    Fail("the XML in " + name + " does not parse: " + xml.substr(0, 400), request);
  }
}

void Check(const Answer& answer, const RequestView& request) {
  if (answer.status == 500) Fail("500: " + answer.description, request);
  const std::string xml = RenderAnswer(answer);
  if (!QuarloCliente::detail::ParseNetworkXml(xml)) {
    Fail("the answer is not XML: " + xml.substr(0, 400), request);
  }
  for (const auto& [name, text] : answer.payload) CheckNestedXml(name, text, request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Store store("");
  ServiceContext context{store, Authority()};
  const ApiKeys keys({});
  for (const auto& body : CafUploads()) {
    const RequestView upload{"POST", "/UploadCaf", std::nullopt, body, kDefaultBase};
    Check(Dispatch(context, keys, upload), upload);
  }
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (std::size_t count = 0; count < kMaxRequests; ++count) {
    const auto end = rest.find(kSeparator);
    const RequestView request = ReadRequest(rest.substr(0, end));
    Check(Dispatch(context, keys, request), request);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + kSeparator.size());
  }
  return 0;
}
