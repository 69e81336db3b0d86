#include "service/ted.hpp"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "image_checks.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {
namespace {

using checks::SampleFields;
using checks::TestCaf;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::size_t Characters(const std::string& utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// Checks FRMT with OpenSSL directly, over exactly the bytes the SII's definition names: the
// DD element's text as written in the TED, as ISO-8859-1.
bool SignatureCoversLatin1Dd(const std::string& ted, const std::string& privateKeyPem) {
  const std::size_t begin = ted.find("<DD>");
  const std::size_t end = ted.find("</DD>") + 5;
  const QuarloCliente::Bytes dd =
      QuarloCliente::detail::Utf8ToLatin1(std::string_view(ted).substr(begin, end - begin));
  const std::size_t frmt = ted.find('>', ted.find("<FRMT")) + 1;
  const QuarloCliente::Bytes signature =
      QuarloCliente::detail::DecodeBase64(ted.substr(frmt, ted.find("</FRMT>") - frmt));
  const std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(privateKeyPem.data(), static_cast<int>(privateKeyPem.size())), BIO_free);
  const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
  return key && EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha1(), nullptr, key.get()) == 1 &&
         EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), dd.data(), dd.size()) == 1;
}

TEST(Ted, StampedTedIsTheSiiTimbreOfTheDocumentWithItsCaf) {
  const std::string ted = StampTed(SampleFields(), TestCaf());
  EXPECT_EQ(ted.rfind("<TED version=\"1.0\"><DD><RE>76192083-9</RE><TD>33</TD><F>42</F>"
                      "<FE>2024-03-15</FE><RR>11111111-1</RR><RSR>",
                      0),
            0U);
  EXPECT_NE(ted.find("</IT1>" + TestCaf().cafXml +
                     "<TSTED>2024-03-15T10:20:30</TSTED></DD>"
                     "<FRMT algoritmo=\"SHA1withRSA\">"),
            std::string::npos);
  EXPECT_EQ(ted.substr(ted.size() - 13), "</FRMT></TED>");
  EXPECT_EQ(ted.find_first_of("\r\n"), std::string::npos);
  EXPECT_TRUE(SignatureCoversLatin1Dd(ted, TestCaf().privateKeyPem));
  EXPECT_TRUE(VerifyTed(ted));
}

TEST(Ted, NamesAreCutToFortyCharactersAndSpecialCharactersEscaped) {
  const std::string ted = StampTed(SampleFields(), TestCaf());
  EXPECT_NE(ted.find("<RSR>Distribuidora Ñandú &amp; Hijos &lt;Sur&gt; Socied</RSR>"),
            std::string::npos);
  const TedFields read = ReadTed(ted);
  EXPECT_EQ(read.rsr, "Distribuidora Ñandú & Hijos <Sur> Socied");
  EXPECT_EQ(Characters(read.rsr), 40U);
  EXPECT_EQ(read.it1, "Cañería de cobre 1/2\" x 6 m, según norma");
  EXPECT_EQ(Characters(read.it1), 40U);
  EXPECT_EQ(read.re, "76192083-9");
  EXPECT_EQ(read.td, "33");
  EXPECT_EQ(read.f, "42");
  EXPECT_EQ(read.fe, "2024-03-15");
  EXPECT_EQ(read.rr, "11111111-1");
  EXPECT_EQ(read.mnt, "119000");
  EXPECT_EQ(read.tsted, "2024-03-15T10:20:30");

  TedFields shortNames = SampleFields();
  shortNames.rsr = "Ñandú";
  shortNames.it1 = "";
  const TedFields kept = ReadTed(StampTed(shortNames, TestCaf()));
  EXPECT_EQ(kept.rsr, "Ñandú");
  EXPECT_EQ(kept.it1, "");
}

TEST(Ted, TextThatIsoLatin1CannotCarryStillGivesAVerifiableTed) {
  TedFields fields = SampleFields();
  fields.rsr = "Café €uro\x01 \xC3";
  fields.it1 = "línea\r\ncon\tsaltos";
  const std::string ted = StampTed(fields, TestCaf());
  EXPECT_TRUE(VerifyTed(ted));
  EXPECT_TRUE(SignatureCoversLatin1Dd(ted, TestCaf().privateKeyPem));
  EXPECT_EQ(ReadTed(ted).rsr, "Café ?uro? ?");
  EXPECT_EQ(ReadTed(ted).it1, "línea\r\ncon\tsaltos");
}

TEST(Ted, AnyChangeToTheSignedDataOrTheSignatureFailsVerification) {
  const std::string ted = StampTed(SampleFields(), TestCaf());
  EXPECT_FALSE(VerifyTed(Replaced(ted, "<MNT>119000</MNT>", "<MNT>119001</MNT>")));
  EXPECT_FALSE(VerifyTed(Replaced(ted, "<F>42</F>", "<F>43</F>")));
  EXPECT_FALSE(
      VerifyTed(Replaced(ted, "<TSTED>2024-03-15T10:20:30", "<TSTED>2024-03-15T10:20:31")));
  const Caf other = IssueTestCaf("76192083-9", "Otra", 33, 1, 10, checks::TestAuthority());
  EXPECT_FALSE(VerifyTed(Replaced(ted, TestCaf().modulusBase64, other.modulusBase64)));
  const std::size_t frmt = ted.find('>', ted.find("<FRMT")) + 1;
  std::string flipped = ted;
  flipped[frmt + 10] = flipped[frmt + 10] == 'A' ? 'B' : 'A';
  EXPECT_FALSE(VerifyTed(flipped));
  EXPECT_FALSE(VerifyTed(
      Replaced(ted, "<FRMT algoritmo=\"SHA1withRSA\">", "<FRMT algoritmo=\"SHA1withRSA\">#")));
}

TEST(Ted, DdWrittenWithSpacingBetweenElementsIsVerifiedWithoutIt) {
  const std::string ted = StampTed(SampleFields(), TestCaf());
  std::string spaced = ted;
  for (std::size_t at = 0; (at = spaced.find("><", at)) != std::string::npos; at += 4) {
    spaced.replace(at, 2, ">\n  <");
  }
  EXPECT_TRUE(VerifyTed(spaced));
  EXPECT_TRUE(VerifyTed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + spaced));
  // Spacing inside a value is data, not layout.
  EXPECT_FALSE(VerifyTed(Replaced(ted, "<F>42</F>", "<F> 42</F>")));
}

TEST(Ted, TedsMadeWithAParsedAuthorityFileVerify) {
  std::string file = TestCaf().xml;
  for (std::size_t at = 0; (at = file.find("><", at)) != std::string::npos; at += 3) {
    file.replace(at, 2, ">\n<");
  }
  Caf parsed = ParseCaf(file);
  const std::string ted = StampTed(SampleFields(), parsed);
  EXPECT_TRUE(VerifyTed(ted));
  parsed.cafXml = Replaced(parsed.cafXml, "<DA>", "\n  <DA>");
  EXPECT_EQ(StampTed(SampleFields(), parsed), ted);
}

TEST(Ted, TextsThatAreNotTedsAreRefusedByReadingAndFailVerification) {
  for (const char* text : {"", "no es xml", "<DTE><TED/></DTE>", "<TED version=\"1.0\"/>",
                           "<TED><DD><RE>1-9</RE></DD></TED>",
                           "<TED><DD><CAF><DA><RSAPK><M>%</M><E>AQAB</E></RSAPK></DA></CAF>"
                           "</DD><FRMT>AAAA</FRMT></TED>"}) {
    EXPECT_FALSE(VerifyTed(text)) << text;
  }
  for (const char* text : {"", "no es xml", "<DTE><TED/></DTE>", "<TED version=\"1.0\"/>"}) {
    try {
      ReadTed(text);
      ADD_FAILURE() << text;
    } catch (const SandboxError& error) {
      EXPECT_EQ(error.status(), 400);
    }
  }
  EXPECT_EQ(ReadTed("<TED><DD><RE>1-9</RE></DD></TED>").re, "1-9");
}

TEST(Ted, StampingWithACafWithoutItsPrivateKeyIsAServerError) {
  Caf broken = TestCaf();
  broken.privateKeyPem = "";
  try {
    StampTed(SampleFields(), broken);
    ADD_FAILURE();
  } catch (const SandboxError& error) {
    EXPECT_EQ(error.status(), 500);
  }
}

}  // namespace
}  // namespace QuarloSandbox
