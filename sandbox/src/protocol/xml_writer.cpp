#include "protocol/xml_writer.hpp"

#include "core/xml_escape.hpp"

namespace QuarloSandbox {

using QuarloCliente::detail::AppendEscapedXml;
using QuarloCliente::detail::EscapeFor;

void XmlWriter::EndStartTag() {
  if (startTagOpen_) text_.push_back('>');
  startTagOpen_ = false;
}

XmlWriter& XmlWriter::Open(std::string_view name, std::string_view ns) {
  EndStartTag();
  text_.append("<").append(name);
  startTagOpen_ = true;
  if (!ns.empty()) Attribute("xmlns", ns);
  return *this;
}

XmlWriter& XmlWriter::Attribute(std::string_view name, std::string_view value) {
  text_.append(" ").append(name).append("=\"");
  AppendEscapedXml(text_, value, EscapeFor::Attribute);
  text_.append("\"");
  return *this;
}

XmlWriter& XmlWriter::Close(std::string_view name) {
  EndStartTag();
  text_.append("</").append(name).append(">");
  return *this;
}

XmlWriter& XmlWriter::Element(std::string_view name, std::string_view text) {
  EndStartTag();
  text_.append("<").append(name).append(">");
  AppendEscapedXml(text_, text, EscapeFor::Text);
  text_.append("</").append(name).append(">");
  return *this;
}

XmlWriter& XmlWriter::Raw(std::string_view xml) {
  EndStartTag();
  text_.append(xml);
  return *this;
}

}  // namespace QuarloSandbox
