#pragma once

#include <string>
#include <string_view>

namespace QuarloSandbox {

// `text` made safe for one line of the log: control characters (C0, DEL, C1) and bytes that are
// not UTF-8 become visible escapes ("\n", "\x1b", "\u0085"), and a backslash is doubled, so that
// nothing a client sends can end a log line early, forge another, or steer a terminal.
std::string EscapeForLog(std::string_view text);

// "POST /SendDTEDocument 400: description": the log line of one answered request, every value
// escaped. Only the operation (the first path segment) is logged, never the other segments,
// which may hold secrets.
std::string RequestLogLine(std::string_view method, std::string_view target, int status,
                           std::string_view description);

}  // namespace QuarloSandbox
