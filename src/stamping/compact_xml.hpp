#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace QuarloCliente::detail {

// Signed XML blocks (a CAF's DA, a TED's DD) are signed over one written form of the element:
// no whitespace between elements, no namespace declarations, "&", "<" and ">" in text (and CR)
// escaped, and an element without content written as <X/>. Whoever signs and whoever verifies
// must produce exactly this text, so both go through the functions below.

// The bytes that are signed: the form's text as ISO-8859-1.
std::vector<std::uint8_t> SignedBytes(std::string_view compactXml);

// The text reduced to what an ISO-8859-1 XML block can carry: characters beyond U+00FF,
// malformed UTF-8 and control characters other than tab, LF and CR each become '?'.
std::string IsoSafeText(std::string_view text);

// The first `limit` characters of UTF-8 text (the SII's name limits count characters, not
// bytes); a multi-byte character is never cut in half.
std::string FirstCharacters(const std::string& text, std::size_t limit);

// Element text escaped for that form.
std::string EscapeXmlText(std::string_view text);

// <name>escaped text</name>, or <name/> when the text is empty.
std::string TextElement(std::string_view name, std::string_view text);

// The element written in that form: whitespace-only text beside child elements, comments and
// processing instructions are left out.
std::string CompactXml(const xmlNode* element);

// The first child element of parent whose local name is name, or nullptr.
xmlNode* ChildElement(const xmlNode* parent, std::string_view name);

// The text of the first child element named name, "" when there is none.
std::string ChildText(const xmlNode* parent, std::string_view name);

}  // namespace QuarloCliente::detail
