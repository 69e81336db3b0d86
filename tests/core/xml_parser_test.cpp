#include <gtest/gtest.h>

#include <quarlo/error.hpp>
#include <string>

#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"
#include "support/hostile_server.hpp"

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
  const XmlDocPtr typed =
      ParseNetworkXml("<!DOCTYPE R [<!ATTLIST Result xmlns CDATA \"urn:x\">]><R><Result/></R>");
  EXPECT_EQ(View(SelectFirstElement(typed.get(), "//Result")->ns->href), "urn:x");
  const XmlDocPtr plain = ParseNetworkXml("<R><Result>0</Result></R>");
  EXPECT_EQ(SelectFirstElement(plain.get(), "//Result")->ns, nullptr);
  // A refused declaration stops the parser halfway; the next text must find it whole.
  EXPECT_THROW(ParseNetworkXml("<!DOCTYPE R [<!ENTITY e \"x\">]><R><Result>&e;</Result></R>"),
               EntitiesRefused);
  EXPECT_EQ(ResultOfAnOrdinaryAnswer(), "0");
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

TEST(EntityDeclarations, AreRefusedWhateverTheirKindAndWhereverTheTextComesFrom) {
  const std::string declarations[] = {
      "<!ENTITY e \"x\">",
      "<!ENTITY % p \"x\">",
      "<!ENTITY e SYSTEM \"file:///etc/passwd\">",
      "<!ENTITY % p SYSTEM \"file:///etc/passwd\">",
      "<!NOTATION n SYSTEM \"x\"><!ENTITY u SYSTEM \"file:///etc/passwd\" NDATA n>",
  };
  for (const std::string& declaration : declarations) {
    const std::string text = "<!DOCTYPE R [" + declaration + "]><R>x</R>";
    EXPECT_THROW(ParseNetworkXml(text), EntitiesRefused) << declaration;
    EXPECT_THROW(ParseHeldXml(text), EntitiesRefused) << declaration;
  }
  using testing::EntityKind;
  for (const EntityKind kind : {EntityKind::General, EntityKind::Parameter}) {
    EXPECT_THROW(ParseNetworkXml(testing::EntityBombAnswer(8, kind)), EntitiesRefused);
    EXPECT_THROW(ParseHeldXml(testing::EntityBombAnswer(8, kind)), EntitiesRefused);
  }
  try {
    ParseHeldXml(testing::EntityBombAnswer(2, EntityKind::General));
    FAIL() << "expected a refusal";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "el documento declara entidades XML, que no se admiten");
  }
  // A document type without entities is no reason to refuse.
  EXPECT_EQ(TextAt(ParseNetworkXml("<!DOCTYPE R SYSTEM \"r.dtd\"><R>x</R>"), "R"), "x");
}

// An entity reference can still reach a tree: one a text refers to without declaring it, or one
// built in code. Reading text must never follow it.
TEST(NodeText, ReadsOnlyTheTextWrittenBelowTheNode) {
  const XmlDocPtr undeclared = ParseNetworkXml("<!DOCTYPE R SYSTEM \"r.dtd\"><R>a&e;b</R>");
  ASSERT_NE(undeclared, nullptr);
  EXPECT_EQ(TextAt(undeclared, "R"), "ab");

  const XmlDocPtr built = ParseHeldXml("<R><A>a<![CDATA[<c>]]><B>b</B><!--n--></A>z</R>");
  ASSERT_NE(built, nullptr);
  ASSERT_NE(xmlCreateIntSubset(built.get(), Xc("R"), nullptr, nullptr), nullptr);
  ASSERT_NE(xmlAddDocEntity(built.get(), Xc("big"), XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr,
                            Xc("EXPANDED")),
            nullptr);
  xmlNode* a = SelectFirstElement(built.get(), "//A");
  ASSERT_NE(xmlAddChild(a, xmlNewReference(built.get(), Xc("&big;"))), nullptr);
  EXPECT_EQ(NodeText(a), "a<c>b");
  EXPECT_EQ(NodeText(xmlDocGetRootElement(built.get())), "a<c>bz");
  EXPECT_EQ(NodeText(a->children), "a");
  EXPECT_EQ(NodeText(nullptr), "");
}

// libxml2's limits hold for whatever fits within them; only a larger text has them lifted, so a
// large PDF still arrives.
TEST(ReusedParser, KeepsTheSizeLimitsForTextsWithinThem) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<d>";
  for (int i = 0; i < 300; ++i) deep += "</d>";
  EXPECT_EQ(ParseNetworkXml(deep), nullptr);
  EXPECT_EQ(ParseHeldXml(deep), nullptr);
  const std::string atTheLimit = "<R>" + std::string(10000000 - 7, 'x') + "</R>";
  EXPECT_EQ(TextAt(ParseNetworkXml(atTheLimit), "R").size(), atTheLimit.size() - 7);
  const std::string beyond = "<R>" + std::string(12000000, 'x') + "</R>";
  EXPECT_EQ(TextAt(ParseNetworkXml(beyond), "R").size(), 12000000u);
  EXPECT_EQ(TextAt(ParseHeldXml(beyond), "R").size(), 12000000u);
  EXPECT_EQ(ResultOfAnOrdinaryAnswer(), "0");
}

std::string TextIn(const XmlDocument& document, std::string_view name) {
  const xmlNode* node =
      SelectFirstElement(XmlDocumentAccess::Doc(document), "//" + std::string(name));
  return node == nullptr ? "<none>" : NodeText(node);
}

TEST(XmlDocumentParse, ReadsTextByTheEncodingItsDeclarationNames) {
  const struct {
    std::string text;
    std::string value;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><N>Larra\xEDn N\xB0</N></R>",
       "Larraín N°"},
      {"<?xml version='1.0' encoding='Windows-1252'?><R><N>\x93\x80 5\x94 \xF1</N></R>", "“€ 5” ñ"},
      {"<R><N>Corporaci\xF3n</N></R>", "Corporación"},
      // Valid UTF-8 is UTF-8 whatever the declaration says.
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><N>Ñuñoa</N></R>", "Ñuñoa"},
  };
  for (const auto& [text, value] : cases) {
    const XmlDocument document = XmlDocument::Parse(text);
    EXPECT_EQ(TextIn(document, "N"), value) << text;
    EXPECT_EQ(TextIn(XmlDocument::Parse(Bytes(text.begin(), text.end())), "N"), value) << text;
    // The declaration is kept as written; the content is UTF-8.
    EXPECT_EQ(XmlDocument::Parse(document.Xml()).Xml(), document.Xml());
    EXPECT_NE(document.Xml().find(value), std::string::npos);
  }
  EXPECT_TRUE(XmlDocument::Parse("no es XML: \xE9").IsEmpty());
  try {
    XmlDocument::Parse("<?xml version='1.0' encoding='UTF-16'?><R>\xE9</R>");
    ADD_FAILURE() << "UTF-16";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "la codificación UTF-16 no se admite");
  }
  // The decoded text is held to the same rules as any other.
  EXPECT_THROW(XmlDocument::Parse("<?xml version='1.0' encoding='ISO-8859-1'?>"
                                  "<!DOCTYPE R [<!ENTITY e 'x'>]><R>\xE9&e;</R>"),
               EntitiesRefused);
}

}  // namespace
}  // namespace QuarloCliente::detail
