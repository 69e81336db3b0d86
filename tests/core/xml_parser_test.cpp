#include <gtest/gtest.h>

#include <string>

#include "core/selector.hpp"
#include "core/xml.hpp"

namespace QuarloCliente::detail {
namespace {

// Each thread reuses its parsers from text to text: nothing of one text may show in the next.

std::string TextAt(const XmlDocPtr& doc, std::string_view name) {
  const xmlNode* node = doc ? SelectFirstElement(doc.get(), "//" + std::string(name)) : nullptr;
  return node == nullptr ? "<none>" : NodeText(node);
}

std::string ResultOfAnOrdinaryAnswer() {
  return TextAt(ParseNetworkXml("<R><Result>0</Result></R>"), "Result");
}

TEST(ReusedParser, MalformedTypedOrLargeTextLeavesNothingBehind) {
  EXPECT_EQ(ParseNetworkXml("<R><Result>1</R>"), nullptr);
  EXPECT_EQ(ResultOfAnOrdinaryAnswer(), "0");
  // A document type whose defaults would put the next answer's Result in a namespace.
  const XmlDocPtr typed = ParseNetworkXml(
      "<!DOCTYPE R [<!ENTITY e \"x\"><!ATTLIST Result xmlns CDATA \"urn:x\">]>"
      "<R><Result>&e;</Result></R>");
  EXPECT_EQ(View(SelectFirstElement(typed.get(), "//Result")->ns->href), "urn:x");
  const XmlDocPtr plain = ParseNetworkXml("<R><Result>0</Result></R>");
  EXPECT_EQ(SelectFirstElement(plain.get(), "//Result")->ns, nullptr);
  EXPECT_EQ(ParseNetworkXml("<R><Result>&e;</Result></R>"), nullptr);
  // Thousands of distinct names over several texts, then a large text.
  for (int text = 0; text < 5; ++text) {
    std::string names = "<R>";
    for (int i = 0; i < 1000; ++i) names += "<N" + std::to_string(text * 1000 + i) + "/>";
    ASSERT_NE(ParseNetworkXml(names + "</R>"), nullptr);
  }
  ASSERT_NE(ParseNetworkXml("<R>" + std::string(100000, 'x') + "</R>"), nullptr);
  EXPECT_EQ(ResultOfAnOrdinaryAnswer(), "0");
}

TEST(ReusedParser, EachTextIsDecodedByItsOwnDeclaration) {
  const std::string latin1 =
      "<?xml version=\"1.0\" "
      "encoding=\"ISO-8859-1\"?><R><Description>\xD1u\xF1oa</Description></R>";
  EXPECT_EQ(TextAt(ParseNetworkXml(latin1), "Description"), "Ñuñoa");
  EXPECT_EQ(TextAt(ParseNetworkXml("<R><Description>Ñuñoa</Description></R>"), "Description"),
            "Ñuñoa");
  // Held text ignores its declaration; the next answer from the network must not.
  EXPECT_EQ(TextAt(ParseHeldXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>Ñ</R>"), "R"),
            "Ñ");
  EXPECT_EQ(TextAt(ParseNetworkXml(latin1), "Description"), "Ñuñoa");
}

TEST(ReusedParser, HeldTextIsUtf8) {
  const XmlDocPtr held = ParseHeldXml("<R a=\"Ñ\"/>");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(NodeXml(xmlDocGetRootElement(held.get())), "<R a=\"Ñ\"/>");
  // An answer may come in EBCDIC; text the library holds is UTF-8 or nothing.
  const std::string ebcdic =
      "\x4C\x6F\xA7\x94\x93\x40\xA5\x85\x99\xA2\x89\x96\x95\x7E\x7F\xF1\x4B\xF0\x7F\x40\x85\x95"
      "\x83\x96\x84\x89\x95\x87\x7E\x7F\xC9\xC2\xD4\xF0\xF3\xF7\x7F\x6F\x6E\x4C\xD9\x6E\xA7\x4C"
      "\x61\xD9\x6E";
  EXPECT_EQ(TextAt(ParseNetworkXml(ebcdic), "R"), "x");
  EXPECT_EQ(ParseHeldXml(ebcdic), nullptr);
}

// The rule the library has always followed: a NUL byte ends a text of single-byte characters.
TEST(ReusedParser, NulEndsByteTextButNotWideText) {
  EXPECT_NE(ParseNetworkXml(std::string("<R/>\0junk", 9)), nullptr);
  EXPECT_EQ(ParseNetworkXml(std::string("<R>\0</R>", 8)), nullptr);
  EXPECT_NE(ParseHeldXml(std::string("<R/>\0junk", 9)), nullptr);
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("<R>\xD1</R>")) utf16 += std::string{c, '\0'};
  EXPECT_EQ(TextAt(ParseNetworkXml(utf16), "R"), "Ñ");
}

}  // namespace
}  // namespace QuarloCliente::detail
