#pragma once

#include <cstddef>
#include <string_view>

#include "server/body_reader.hpp"
#include "server/dispatcher.hpp"
#include "server/request_head.hpp"

namespace QuarloSandbox {

// What the front end learns from a request's head before it reads any of the body.
struct Admission {
  BodyFraming framing;
  bool expectsContinue = false;  // the client waits for "100 Continue" before it sends the body
};

// The checks on a request's head, made in this order, each refusal a SandboxError: 400 for a Host
// that is repeated or not a host[:port], 401 for a missing or refused AuthKey, 415 for a
// compressed body, 501 for a transfer coding other than chunked, 400 for a length that is not one
// number or comes with chunked framing, 413 for a length over `maxBody`, 417 for an expectation
// other than 100-continue. The key comes before anything about the body, so that a client
// without one learns nothing else and the body is never read.
Admission Admit(const RequestHead& head, const ApiKeys& keys, std::size_t maxBody);

// Whether `host` can stand as the host[:port] of a URL: a name of letters, digits, '-', '.',
// '_' or '~', or a bracketed IPv6 address, then an optional port up to 65535.
bool IsHostAndPort(std::string_view host);

}  // namespace QuarloSandbox
