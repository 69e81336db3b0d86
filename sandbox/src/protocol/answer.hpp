#pragma once

#include <string>
#include <utility>
#include <vector>

namespace QuarloSandbox {

// What the sandbox answers to one request: the HTTP status and the Response document, which
// always carries Result and Description (some readers require Description even on success),
// followed by the payload elements of the operation.
struct Answer {
  int status = 200;
  std::string result = "0";
  std::string description;
  std::vector<std::pair<std::string, std::string>> payload;

  // Appends a payload element; returns *this so that elements chain.
  Answer& Add(std::string name, std::string text);
  // The refusal of a request: Result "1" and the Spanish description.
  static Answer Failure(int status, std::string description);
};

// <?xml version="1.0" encoding="UTF-8"?><Response xmlns="ApiNamespace"><Result>...
std::string RenderAnswer(const Answer& answer);

}  // namespace QuarloSandbox
