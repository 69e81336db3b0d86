#pragma once

#include <string>
#include <utility>
#include <vector>

namespace QuarloSandbox {

// What the console answers one request with.
struct ConsoleAnswer {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // Location, Set-Cookie, ...

  // The value of the first header of that name, "" when there is none.
  std::string Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
      if (key == name) return value;
    }
    return {};
  }
};

// An HTML page answered with the status.
inline ConsoleAnswer HtmlAnswer(int status, std::string html) {
  return ConsoleAnswer{status, "text/html; charset=utf-8", std::move(html), {}};
}

// A 303 to another console path, which the browser then GETs.
inline ConsoleAnswer SeeOther(std::string location) {
  return ConsoleAnswer{303, "text/plain; charset=utf-8", "", {{"Location", std::move(location)}}};
}

}  // namespace QuarloSandbox
