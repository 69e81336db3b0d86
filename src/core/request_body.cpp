#include "core/request_body.hpp"

#include <quarlo/namespaces.hpp>

#include "core/xml_escape.hpp"

namespace QuarloCliente::detail {

std::string WriteRequestBody(std::string_view root, std::initializer_list<BodyField> fields,
                             OpeningTag tag) {
  std::string body;
  body.append("<").append(root);
  body.append(tag == OpeningTag::Spaced ? " xmlns = \"" : " xmlns=\"").append(ApiNamespace);
  body.append(tag == OpeningTag::Spaced ? "\" >" : "\">");
  for (const BodyField& field : fields) {
    body.append("<").append(field.name).append(">");
    AppendEscapedXml(body, field.value, EscapeFor::Text);
    body.append("</").append(field.name).append(">");
  }
  return body.append("</").append(root).append(">");
}

std::string Decimal(long long number) {
  return std::to_string(number);
}

std::string_view TrueFalse(bool flag) {
  return flag ? "True" : "False";
}

}  // namespace QuarloCliente::detail
