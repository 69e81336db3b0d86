#pragma once

#include <string>
#include <string_view>

namespace QuarloSandbox {

// Builds XML text element by element; every text and attribute value is escaped by the library's
// XML escaper, so no value can change the shape of the document, and a character XML 1.0 forbids
// (a control, a malformed UTF-8 sequence, U+FFFE, U+FFFF) is written as U+FFFD, so that whatever
// value reaches it the document parses.
class XmlWriter {
 public:
  // Opens <name>, or <name xmlns="ns"> when ns is given.
  XmlWriter& Open(std::string_view name, std::string_view ns = {});
  // Adds an attribute to the element opened last; only right after Open.
  XmlWriter& Attribute(std::string_view name, std::string_view value);
  XmlWriter& Close(std::string_view name);
  // <name>text</name>.
  XmlWriter& Element(std::string_view name, std::string_view text);
  // Adds text that is already XML (a stored element), unchanged.
  XmlWriter& Raw(std::string_view xml);
  const std::string& Text() const { return text_; }

 private:
  void EndStartTag();
  std::string text_;
  bool startTagOpen_ = false;
};

}  // namespace QuarloSandbox
