#include <gtest/gtest.h>

#include <functional>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>

#include "binding/banner.hpp"
#include "core/binding_cleanup.hpp"
#include "core/selector.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente {
namespace {

constexpr char kDte[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<DTE version=\"1.0\"><Documento ID=\"F1\"><Encabezado><IdDoc><TipoDTE>33</TipoDTE>"
    "<Folio>1234</Folio></IdDoc></Encabezado><TED><DD><F>1234</F></DD></TED></Documento></DTE>";

TEST(XmlHelpers, NodeValueReadsTheFirstSelectedElement) {
  Servicio s;
  const XmlDocument doc = XmlDocument::Parse(kDte);
  EXPECT_EQ(s.NodeValue(doc, "//Folio"), "1234");
  EXPECT_EQ(s.NodeValue(doc, "//Nada"), "");
  EXPECT_THROW(s.NodeValue(doc, "Folio"), Error);
  EXPECT_THROW(s.NodeValue(doc, "//Documento/@ID"), Error);
  XmlDocument moved = XmlDocument::Parse(kDte);
  XmlDocument taken = std::move(moved);
  EXPECT_THROW(s.NodeValue(moved, "//Folio"), Error);  // NOLINT(bugprone-use-after-move)
}

TEST(XmlHelpers, ReplaceXmlValueChangesOnlyTheFirstMatch) {
  Servicio s;
  const std::string out = s.ReplaceXmlValue(kDte, "//Folio", "0 & <1>");
  const XmlDocument doc = XmlDocument::Parse(out);
  EXPECT_EQ(s.NodeValue(doc, "//IdDoc/Folio"), "0 & <1>");
  EXPECT_EQ(s.NodeValue(doc, "//TED/DD/F"), "1234");
  EXPECT_EQ(s.ReplaceXmlValue(kDte, "//Nada", "x"), kDte);
  EXPECT_EQ(s.ReplaceXmlValue("no es xml", "//Folio", "x"), "no es xml");
}

TEST(XmlHelpers, ReplaceFolioNeedsADteRootWhereReplaceXmlValueLeavesTextAlone) {
  Servicio s;
  const std::string sobre =
      "<EnvioDTE><DTE><Documento><Encabezado><IdDoc><Folio>5</Folio>"
      "</IdDoc></Encabezado></Documento></DTE></EnvioDTE>";
  EXPECT_EQ(s.ReplaceFolio(sobre, "0"), "");
  EXPECT_EQ(s.ReplaceXmlValue(sobre, "/DTE/Documento/Encabezado/IdDoc/Folio", "0"), sobre);
  const std::string replaced = s.ReplaceFolio(kDte, "0");
  EXPECT_EQ(s.NodeValue(XmlDocument::Parse(replaced), "//IdDoc/Folio"), "0");
  EXPECT_EQ(s.NodeValue(XmlDocument::Parse(replaced), "//TED/DD/F"), "1234");
  // The declaration survives, so the text still says which bytes it will be sent as.
  EXPECT_EQ(replaced.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u);
  const std::string exportacion =
      "<DTE><Exportaciones><Encabezado><IdDoc><Folio>9</Folio></IdDoc></Encabezado>"
      "</Exportaciones></DTE>";
  EXPECT_EQ(s.NodeValue(XmlDocument::Parse(s.ReplaceFolio(exportacion, "0")),
                        "/DTE/Exportaciones/Encabezado/IdDoc/Folio"),
            "0");
}

TEST(XmlHelpers, DeleteXmlValueRemovesTheSubtreeOrReturnsTheInputUntouched) {
  Servicio s;
  const std::string libro =
      "<?xml version=\"1.0\"?>\r\n<ConsumoFolios xmlns=\"http://www.sii.cl/SiiDte\">"
      "<DocumentoConsumoFolios ID=\"ID_1\"><Caratula><RutEmisor>1-9</RutEmisor></Caratula>"
      "<Resumen/></DocumentoConsumoFolios></ConsumoFolios>";
  const std::string out =
      s.DeleteXmlValue(libro, "//ConsumoFolios/DocumentoConsumoFolios/Caratula");
  EXPECT_EQ(out.find("Caratula"), std::string::npos);
  EXPECT_EQ(out.find("RutEmisor"), std::string::npos);
  EXPECT_NE(out.find("<Resumen/>"), std::string::npos);
  // Nothing selected: the very same bytes, CR LF and all, not a re-serialisation.
  EXPECT_EQ(s.DeleteXmlValue(libro, "//Nada"), libro);
  EXPECT_THROW(s.DeleteXmlValue(libro, "/ConsumoFolios"), Error);
}

TEST(XmlHelpers, SignatureSkeletonIsTheLastChildInTheSignatureNamespace) {
  Servicio s;
  const std::string libro =
      "<LibroCompraVenta xmlns=\"http://www.sii.cl/SiiDte\" version=\"1.0\">"
      "<EnvioLibro ID=\"ID_1\"/></LibroCompraVenta>";
  const std::string out = s.InsertFakeSignatureNode(libro, "//LibroCompraVenta");
  const XmlDocument doc = XmlDocument::Parse(out);
  const xmlNode* root = xmlDocGetRootElement(detail::XmlDocumentAccess::Doc(doc));
  const xmlNode* last = xmlLastElementChild(const_cast<xmlNode*>(root));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(detail::View(last->name), "Signature");
  EXPECT_EQ(detail::View(last->ns->href), XmlDsigNamespace);
  EXPECT_EQ(s.NodeValue(doc, "//Reference/DigestValue"), "");
  EXPECT_NE(out.find("<Reference URI=\"#LCV14c46c5f4730415ea2bab365fa9755e9\">"),
            std::string::npos);
  EXPECT_NE(out.find("xml-c14n-20010315"), std::string::npos);
  EXPECT_NE(out.find("xmldsig#rsa-sha1"), std::string::npos);
  EXPECT_NE(out.find("<X509Certificate/>"), std::string::npos);
  EXPECT_EQ(s.InsertFakeSignatureNode(libro, "//Nada"), libro);
}

TEST(XmlHelpers, CleanupsRemoveMarkersAndBannersButKeepOtherLineBreaks) {
  const std::string ns(SiiDteNamespace);
  const std::string serialised =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" +
      std::string(detail::kBindingBannerDocuments) + "\r\n<ABCXYZ:DTE xmlns:ABCXYZ=\"" + ns +
      "\" version=\"1.0\">\r\n<ABCXYZ:Documento ID=\"F1\"><ABCXYZ:Nota xmlns:ABCXYZ=\"" + ns +
      "\">a</ABCXYZ:Nota></ABCXYZ:Documento></ABCXYZ:DTE>";
  const std::string clean = detail::CleanBindingXml(serialised);
  EXPECT_EQ(clean,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DTE version=\"1.0\">\r\n"
            "<Documento ID=\"F1\"><Nota xmlns=\"" +
                ns + "\">a</Nota></Documento></DTE>");
  const std::string kept = detail::CleanBindingXmlKeepNamespace(serialised);
  EXPECT_EQ(kept, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DTE xmlns=\"" + ns +
                      "\" version=\"1.0\">\r\n<Documento ID=\"F1\"><Nota xmlns=\"" + ns +
                      "\">a</Nota></Documento></DTE>");
  const std::string books = std::string(detail::kBindingBannerBooks) + "\r\n<a/>";
  EXPECT_EQ(detail::CleanBindingXmlKeepNamespace(books), "<a/>");
  // A banner without its CR LF is not the binding's and stays.
  const std::string bare = std::string(detail::kBindingBannerBooks) + "\n<a/>";
  EXPECT_EQ(detail::CleanBindingXml(bare), bare);
}

// Text the caller hands over is refused as a whole when it declares entities, with the reason,
// by the document type, every helper and the document objects alike.
TEST(XmlHelpers, TextThatDeclaresEntitiesIsRefusedWithItsReason) {
  Servicio s;
  const std::string text =
      "<!DOCTYPE DTE [<!ENTITY e \"1234\">]><DTE><Documento><Encabezado><IdDoc><Folio>&e;"
      "</Folio></IdDoc></Encabezado></Documento></DTE>";
  const std::vector<std::function<void()>> readers = {
      [&] { XmlDocument::Parse(text); },
      [&] { s.ReplaceXmlValue(text, "//Folio", "1"); },
      [&] { s.ReplaceFolio(text, "1"); },
      [&] { s.DeleteXmlValue(text, "//Folio"); },
      [&] { s.InsertFakeSignatureNode(text, "//DTE"); },
      [&] { std::make_shared<DteDocumentBinding>()->Load(text, DefaultBindingContext()); },
  };
  for (std::size_t i = 0; i < readers.size(); ++i) {
    try {
      readers[i]();
      ADD_FAILURE() << "reader " << i << " accepted the text";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "el documento declara entidades XML, que no se admiten") << i;
    }
  }
}

}  // namespace
}  // namespace QuarloCliente
