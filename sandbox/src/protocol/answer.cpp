#include "protocol/answer.hpp"

#include <quarlo/namespaces.hpp>

#include "protocol/xml_writer.hpp"

namespace QuarloSandbox {

Answer& Answer::Add(std::string name, std::string text) {
  payload.emplace_back(std::move(name), std::move(text));
  return *this;
}

Answer Answer::Failure(int status, std::string description) {
  Answer answer;
  answer.status = status;
  answer.result = "1";
  answer.description = std::move(description);
  return answer;
}

std::string RenderAnswer(const Answer& answer) {
  XmlWriter xml;
  xml.Raw(R"(<?xml version="1.0" encoding="UTF-8"?>)");
  xml.Open("Response", QuarloCliente::ApiNamespace);
  xml.Element("Result", answer.result).Element("Description", answer.description);
  for (const auto& [name, text] : answer.payload) xml.Element(name, text);
  xml.Close("Response");
  return xml.Text();
}

}  // namespace QuarloSandbox
