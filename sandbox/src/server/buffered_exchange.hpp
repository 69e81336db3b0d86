#pragma once

#include <httplib.h>

#include "server/front_end.hpp"

namespace QuarloSandbox {

// httplib's processing of one request (its parser, the handler, the answer's headers
// and compression) applied to a request the front end has already read whole, so that httplib
// never reads from or writes to a client itself.
class BufferedHttpServer : public httplib::Server {
 public:
  // The answer to `request` as httplib writes it, and whether the connection ends with it.
  ProcessedAnswer Process(FramedRequest& request);
};

// The head httplib is handed: the request line and headers as the client sent them, less the
// framing the front end has already undone (Transfer-Encoding, Content-Length, Content-Encoding,
// Expect), plus the Content-Length of the body as it now is.
std::string BufferedHead(const FramedRequest& request);

}  // namespace QuarloSandbox
