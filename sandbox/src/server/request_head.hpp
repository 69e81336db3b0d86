#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace QuarloSandbox {

// A request's line and headers as the client sent them.
struct RequestHead {
  std::string method;
  std::string target;   // still percent-encoded
  std::string version;  // "HTTP/1.1" or "HTTP/1.0"
  // In arrival order, names as sent, values without the blanks around them.
  std::vector<std::pair<std::string, std::string>> headers;

  // The values of every header of that name, compared without regard to case.
  std::vector<std::string_view> Values(std::string_view name) const;
  // The first value of that name, nullopt when there is none.
  std::optional<std::string_view> First(std::string_view name) const;
};

// The number of bytes of `input` up to and including the empty line that ends a request's head,
// or 0 while that line has not arrived. The search starts at `from` (what an earlier call had
// already seen), so that a head arriving byte by byte is not searched again and again.
std::size_t HeadLength(std::string_view input, std::size_t from = 0);

// The head of `input` (HeadLength bytes). Lines end in CRLF or LF. SandboxError(400) for a
// request line or a header that HTTP/1.1 does not allow: a control character, a blank inside a
// name, a folded line, a target that is not a path, a version other than 1.0 or 1.1.
RequestHead ParseRequestHead(std::string_view head);

// Whether two ASCII words (header names, tokens) are the same without regard to case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace QuarloSandbox
