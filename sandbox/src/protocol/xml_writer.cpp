#include "protocol/xml_writer.hpp"

namespace QuarloSandbox {

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        // A literal CR would be normalised away by the reader's parser.
        out += "&#13;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

void XmlWriter::EndStartTag() {
  if (startTagOpen_) text_.push_back('>');
  startTagOpen_ = false;
}

XmlWriter& XmlWriter::Open(std::string_view name, std::string_view ns) {
  EndStartTag();
  text_.append("<").append(name);
  if (!ns.empty()) text_.append(" xmlns=\"").append(XmlEscape(ns)).append("\"");
  startTagOpen_ = true;
  return *this;
}

XmlWriter& XmlWriter::Attribute(std::string_view name, std::string_view value) {
  text_.append(" ").append(name).append("=\"").append(XmlEscape(value)).append("\"");
  return *this;
}

XmlWriter& XmlWriter::Close(std::string_view name) {
  EndStartTag();
  text_.append("</").append(name).append(">");
  return *this;
}

XmlWriter& XmlWriter::Element(std::string_view name, std::string_view text) {
  EndStartTag();
  text_.append("<").append(name).append(">").append(XmlEscape(text));
  text_.append("</").append(name).append(">");
  return *this;
}

XmlWriter& XmlWriter::Raw(std::string_view xml) {
  EndStartTag();
  text_.append(xml);
  return *this;
}

}  // namespace QuarloSandbox
