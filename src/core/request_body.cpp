#include "core/request_body.hpp"

#include <quarlo/namespaces.hpp>

#include "core/base64.hpp"
#include "core/xml_escape.hpp"

namespace QuarloCliente::detail {

std::string WriteRequestBody(std::string_view root, std::initializer_list<BodyField> fields,
                             OpeningTag tag) {
  // One allocation for the usual case where nothing needs escaping: the Content of a submission
  // is tens of kilobytes, and growing past it would copy it again.
  std::size_t size = 2 * root.size() + ApiNamespace.size() + 20;
  for (const BodyField& field : fields) {
    size += 2 * field.name.size() + 5 +
            (field.base64Of ? Base64Size(field.base64Of->size()) : field.value.size());
  }
  std::string body;
  body.reserve(size);
  body.append("<").append(root);
  body.append(tag == OpeningTag::Spaced ? " xmlns = \"" : " xmlns=\"").append(ApiNamespace);
  body.append(tag == OpeningTag::Spaced ? "\" >" : "\">");
  for (const BodyField& field : fields) {
    body.append("<").append(field.name).append(">");
    if (field.base64Of) {
      const std::size_t at = body.size();
      body.resize(at + Base64Size(field.base64Of->size()));
      EncodeBase64To(*field.base64Of, body.data() + at);
    } else {
      AppendEscapedXml(body, field.value, EscapeFor::Text);
    }
    body.append("</").append(field.name).append(">");
  }
  return body.append("</").append(root).append(">");
}

std::string_view TrueFalse(bool flag) {
  return flag ? "True" : "False";
}

}  // namespace QuarloCliente::detail
