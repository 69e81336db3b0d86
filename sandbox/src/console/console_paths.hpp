#pragma once

// The console's paths, beside the protocol's: under /consola/, which no operation of the protocol
// names. They carry a session cookie instead of an AuthKey, so the front end lets them past the
// key check and holds their bodies to a small cap of their own.

#include <cstddef>
#include <string_view>

namespace QuarloSandbox {

// The largest body a console request may carry (the login form); a larger one is answered 413.
inline constexpr std::size_t kConsoleMaxBodyBytes = 4u * 1024u;

// Whether the request target is one of the console's paths ("/consola", "/consola/...").
bool IsConsolePath(std::string_view target);

}  // namespace QuarloSandbox
