#include "core/selector.hpp"

#include <gtest/gtest.h>

#include <quarlo/error.hpp>
#include <quarlo/xml_document.hpp>

#include "core/xml.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente::detail {
namespace {

std::string TextAt(const XmlDocument& document, std::string_view path) {
  const xmlNode* node = SelectFirst(XmlDocumentAccess::Doc(document), path);
  return node == nullptr ? "<none>" : NodeText(node);
}

TEST(Selector, MatchesNamesAsWrittenWhateverTheNamespace) {
  const XmlDocument doc = XmlDocument::Parse(
      R"(<Envelope xmlns="urn:soap"><Body xmlns:s="urn:svc"><s:Result>9</s:Result>)"
      R"(<Response xmlns="urn:svc"><Result>0</Result></Response></Body></Envelope>)");
  // A default namespace declared on an ancestor does not stop an unprefixed step...
  EXPECT_EQ(TextAt(doc, "//Result"), "0");
  EXPECT_EQ(TextAt(doc, "//Response/Result"), "0");
  // ...and a prefixed element is matched only by its written name.
  EXPECT_EQ(TextAt(doc, "//s:Result"), "9");
  EXPECT_EQ(TextAt(doc, "//Body/Result"), "<none>");
}

TEST(Selector, FirstMatchInDocumentOrder) {
  const XmlDocument doc = XmlDocument::Parse(
      "<TED><DD><RE>1-9</RE><TD>33</TD><CAF><DA><RE>2-7</RE><TD>39</TD></DA></CAF></DD></TED>");
  EXPECT_EQ(TextAt(doc, "//RE"), "1-9");
  EXPECT_EQ(TextAt(doc, "//DA/TD"), "39");
  const XmlDocument nested = XmlDocument::Parse("<a><b><c>deep</c></b><c>shallow</c></a>");
  EXPECT_EQ(TextAt(nested, "//c"), "deep");
}

TEST(Selector, AbsolutePathsAreAnchoredAtTheRoot) {
  const XmlDocument doc =
      XmlDocument::Parse("<EnvioDTE><DTE><Documento><Folio>7</Folio></Documento></DTE></EnvioDTE>");
  EXPECT_EQ(TextAt(doc, "/DTE/Documento/Folio"), "<none>");
  EXPECT_EQ(TextAt(doc, "//DTE/Documento/Folio"), "7");
  EXPECT_EQ(TextAt(doc, "/EnvioDTE/DTE/Documento/Folio"), "7");
  EXPECT_EQ(TextAt(doc, "//EnvioDTE/Documento/Folio"), "<none>");
}

TEST(Selector, AttributesAndTextAreNotElements) {
  const XmlDocument doc = XmlDocument::Parse(R"(<a><b ID="x">t</b></a>)");
  EXPECT_EQ(TextAt(doc, "//b/@ID"), "x");
  EXPECT_EQ(TextAt(doc, "//b/text()"), "t");
  EXPECT_THROW(SelectFirstElement(XmlDocumentAccess::Doc(doc), "//b/@ID"), Error);
  EXPECT_THROW(SelectFirstElement(XmlDocumentAccess::Doc(doc), "//b/text()"), Error);
}

TEST(Selector, InvalidPathsAreErrorsEvenOnEmptyDocuments) {
  const XmlDocument empty = XmlDocument::Parse("esto no es XML");
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(SelectFirst(XmlDocumentAccess::Doc(empty), "//Result"), nullptr);
  for (const char* bad : {"Result", "//", "//a//b", "//a/", "//1a", "//a[1]", "", "//a b",
                          "//text()", "/@ID", "//a/text()/b", "//a/@b/c"}) {
    EXPECT_THROW(SelectFirst(XmlDocumentAccess::Doc(empty), bad), Error) << bad;
  }
}

TEST(NodeText, IsAllTheTextWithinWhateverItIsMadeOf) {
  const XmlDocument doc =
      XmlDocument::Parse("<r><p>a<![CDATA[<b>]]>c</p><q>a&amp;&#120;<i>b</i>c</q><s/></r>");
  EXPECT_EQ(TextAt(doc, "//p"), "a<b>c");
  EXPECT_EQ(TextAt(doc, "//q"), "a&xbc");
  EXPECT_EQ(TextAt(doc, "//s"), "");
  EXPECT_EQ(TextAt(doc, "/r"), "a<b>ca&xbc");
  // A text of its own entities is not read at all.
  EXPECT_THROW(XmlDocument::Parse("<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>"), Error);
}

TEST(Selector, ElementsNamedListsEveryMatchInOrder) {
  const XmlDocument doc =
      XmlDocument::Parse("<r><ack>1</ack><x><ack>2</ack></x><ack>3</ack><acks>no</acks></r>");
  std::vector<std::string> texts;
  for (const xmlNode* node : ElementsNamed(XmlDocumentAccess::Doc(doc), "ack")) {
    texts.push_back(NodeText(node));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"1", "2", "3"}));
}

TEST(Selector, OuterXmlCarriesNamespacesInScope) {
  const XmlDocument doc =
      XmlDocument::Parse(R"(<EnvioDTE xmlns="http://www.sii.cl/SiiDte" xmlns:ds="urn:ds"><SetDTE>)"
                         R"(<DTE version="1.0"><Documento ID="F1"/></DTE></SetDTE></EnvioDTE>)");
  const xmlNode* dte = SelectFirstElement(XmlDocumentAccess::Doc(doc), "//DTE");
  const std::string outer = OuterXml(dte);
  EXPECT_NE(outer.find(R"(xmlns="http://www.sii.cl/SiiDte")"), std::string::npos) << outer;
  EXPECT_NE(outer.find(R"(xmlns:ds="urn:ds")"), std::string::npos) << outer;
  const XmlDocument alone = XmlDocument::Parse(outer);
  const xmlNode* root = xmlDocGetRootElement(XmlDocumentAccess::Doc(alone));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(View(root->ns->href), "http://www.sii.cl/SiiDte");
}

TEST(XmlDocumentText, HeldTextIsReadAsUtf8WhateverItsDeclaration) {
  const XmlDocument doc = XmlDocument::Parse(
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><DTE><CmnaRecep>Ñuñoa</CmnaRecep></DTE>");
  ASSERT_FALSE(doc.IsEmpty());
  EXPECT_EQ(TextAt(doc, "//CmnaRecep"), "Ñuñoa");
  // Re-serialising keeps the declaration as written and the characters as they were.
  const std::string xml = doc.Xml();
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << xml;
  EXPECT_NE(xml.find("Ñuñoa"), std::string::npos);
}

}  // namespace
}  // namespace QuarloCliente::detail

namespace QuarloCliente {
namespace {

TEST(SelectorFromAnElement, StaysWithinTheElementAsIfItWereTheRoot) {
  const XmlDocument page = XmlDocument::Parse(
      "<page><RUT>0-0</RUT><document id=\"1\"><RUT>1-9</RUT></document>"
      "<document id=\"2\"><x><RUT>2-7</RUT></x>texto</document><RUT>3-5</RUT></page>");
  xmlDoc* doc = detail::XmlDocumentAccess::Doc(page);
  const std::vector<xmlNode*> documents = detail::ElementsNamed(doc, "document");
  ASSERT_EQ(documents.size(), 2u);
  const xmlNode* second = documents[1];

  EXPECT_EQ(detail::TextOfFirstIn(documents[0], "//RUT"), "1-9");
  EXPECT_EQ(detail::TextOfFirstIn(second, "//RUT"), "2-7");
  EXPECT_EQ(detail::TextOfFirstIn(second, "/document/x/RUT"), "2-7");
  EXPECT_EQ(detail::TextOfFirstIn(second, "//document/x/RUT"), "2-7");
  // Nothing above or beside the element is reached, and "/" names the element itself.
  EXPECT_EQ(detail::TextOfFirstIn(second, "//page/document/x/RUT"), "");
  EXPECT_EQ(detail::TextOfFirstIn(second, "/x/RUT"), "");
  EXPECT_EQ(detail::SelectFirstIn(second, "//Nada"), nullptr);
  EXPECT_EQ(detail::SelectFirstIn(nullptr, "//RUT"), nullptr);
  EXPECT_EQ(detail::NodeText(detail::SelectFirstIn(second, "/document/@id")), "2");
  EXPECT_EQ(detail::NodeText(detail::SelectFirstIn(second, "//document/text()")), "texto");
  EXPECT_THROW(detail::SelectFirstElementIn(second, "//document/@id"), Error);
  EXPECT_THROW(detail::SelectFirstIn(second, "RUT"), Error);
}

}  // namespace
}  // namespace QuarloCliente
