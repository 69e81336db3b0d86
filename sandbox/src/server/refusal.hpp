#pragma once

#include <cstddef>
#include <string>

namespace QuarloSandbox {

// The media type of every answer the sandbox writes.
inline constexpr const char* kAnswerContentType = "application/xml; charset=utf-8";

// "la solicitud supera el límite de 32 MiB": the one wording of a body over the cap, whichever
// part of the server finds it.
std::string BodyTooLargeDescription(std::size_t cap);

// The whole HTTP/1.1 answer with which the front end refuses a request itself: the status, the
// XML Response document with the description, and "Connection: close".
std::string RefusalResponse(int status, const std::string& description);

}  // namespace QuarloSandbox
