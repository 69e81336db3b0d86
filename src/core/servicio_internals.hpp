#pragma once

#include <quarlo/servicio.hpp>
#include <quarlo/types.hpp>
#include <string>

// Helpers behind Servicio's operations that the areas and the tests share; each takes what it
// needs rather than being a member, so that the public header shows only the interface.
namespace QuarloCliente::detail {

// The response body re-serialised as XML text, or "" when it is not XML; throws Error when the
// exchange itself fails (URL, connection, TLS, time-out).
std::string HttpGet(Servicio& servicio, const std::string& url);
// The same for a POST of the body.
std::string HttpPost(Servicio& servicio, const std::string& url, const std::string& body);

// A whole file's bytes; throws Error for a missing, unreadable or empty file.
Bytes ReadFileBytes(const std::string& path);

}  // namespace QuarloCliente::detail
