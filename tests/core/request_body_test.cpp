#include "core/request_body.hpp"

#include <gtest/gtest.h>

#include <quarlo/namespaces.hpp>

#include "core/answer.hpp"
#include "core/base64.hpp"
#include "core/failure.hpp"
#include "core/payload.hpp"

namespace QuarloCliente::detail {
namespace {

TEST(RequestBody, RootWithApiNamespaceAndChildrenInOrder) {
  const std::string ns(ApiNamespace);
  EXPECT_EQ(WriteRequestBody("UploadCafRequest", {{"Environment", "T"}, {"Base64StrCaf", ""}}),
            "<UploadCafRequest xmlns=\"" + ns +
                "\"><Environment>T</Environment><Base64StrCaf></Base64StrCaf></UploadCafRequest>");
  EXPECT_EQ(WriteRequestBody("GenerateAecRequest", {{"Rut", "1-9"}}, OpeningTag::Spaced),
            "<GenerateAecRequest xmlns = \"" + ns + "\" ><Rut>1-9</Rut></GenerateAecRequest>");
}

TEST(RequestBody, ValuesCannotChangeTheShapeOfTheRequest) {
  const std::string body =
      WriteRequestBody("ACKStatusRequest", {{"ContactName", "Pérez & Cía"},
                                            {"Observations", "</Observations><Action>4</Action>"},
                                            {"Action", "3"}});
  EXPECT_NE(body.find("<ContactName>Pérez &amp; Cía</ContactName>"), std::string::npos);
  EXPECT_NE(body.find("&lt;/Observations&gt;&lt;Action&gt;4&lt;/Action&gt;"), std::string::npos);
  const ServiceAnswer parsed(HttpAnswer{body, 200, ""});
  EXPECT_EQ(parsed.Text("Action"), "3");
  EXPECT_EQ(parsed.Text("ContactName"), "Pérez & Cía");
}

TEST(RequestBody, BytesTravelAsTheirBase64) {
  for (std::size_t size = 0; size <= 50; ++size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    EXPECT_EQ(WriteRequestBody("R", {{"A", "1"}, {"Content", "ignored", bytes}, {"B", "<"}}),
              WriteRequestBody("R", {{"A", "1"}, {"Content", EncodeBase64(bytes)}, {"B", "<"}}))
        << size;
  }
}

TEST(RequestBody, NumbersAndBooleans) {
  EXPECT_EQ(Decimal(-5), "-5");
  EXPECT_EQ(Decimal(0), "0");
  EXPECT_EQ(Decimal(100000), "100000");
  EXPECT_EQ(TrueFalse(true), "True");
  EXPECT_EQ(TrueFalse(false), "False");
}

TEST(ServiceAnswerReading, MissingElementsAreNamedAndNonXmlShowsTheStatus) {
  const ServiceAnswer answer(HttpAnswer{"<R><Result>0</Result></R>", 200, "application/xml"});
  EXPECT_EQ(answer.Text("Result"), "0");
  EXPECT_FALSE(answer.Find("Data").has_value());
  try {
    answer.Text("Data");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "la respuesta no contiene el elemento Data");
  }
  const ServiceAnswer html(HttpAnswer{"", 404, "text/html"});
  try {
    html.Text("Result");
    FAIL();
  } catch (const detail::Failure& e) {
    EXPECT_STREQ(e.what(), "HTTP 404: la respuesta no es XML");
    EXPECT_EQ(e.Kind(), TipoFallo::RechazoServicio);
  }
  const ServiceAnswer page(HttpAnswer{"<html>Not found</html>", 404, "text/html"});
  try {
    page.Text("Result");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "HTTP 404: la respuesta no contiene el elemento Result");
  }
  // A server error is one before anything is read, with the service's words when it has any.
  try {
    const ServiceAnswer failed(
        HttpAnswer{"<R><Result>0</Result><Description>en mantención</Description></R>", 502, ""});
    FAIL();
  } catch (const detail::Failure& e) {
    EXPECT_STREQ(e.what(), "HTTP 502: en mantención");
    EXPECT_EQ(e.Kind(), TipoFallo::ErrorServidor);
  }
}

TEST(ServiceAnswerReading, ResultPatterns) {
  ResultadoServicio ok;
  EXPECT_TRUE(ApplyResult(ServiceAnswer({"<R><Result>0</Result></R>", 200, ""}), ok));
  EXPECT_EQ(ok.Estado, "0");
  ResultadoServicio refused;
  EXPECT_FALSE(ApplyResult(
      ServiceAnswer({"<R><Result>3</Result><Description>x</Description></R>", 200, ""}), refused));
  EXPECT_EQ(refused.Estado, "1");
  EXPECT_EQ(refused.Descripcion, "x");
  ResultadoServicio copied;
  CopyResult(ServiceAnswer({"<R><Result>7</Result><Description>y</Description></R>", 200, ""}),
             copied);
  EXPECT_EQ(copied.Estado, "7");
  EXPECT_EQ(copied.Descripcion, "y");
}

TEST(Payload, IsoBase64BothWays) {
  EXPECT_EQ(EncodeIsoBase64("ñ"), "8Q==");
  EXPECT_EQ(DecodeIsoBase64("8Q=="), "ñ");
  EXPECT_EQ(DecodeIsoBase64(EncodeIsoBase64("€", Unrepresentable::CharacterReference)), "&#8364;");
  EXPECT_THROW(DecodeIsoBase64("8Q=*"), Error);
}

}  // namespace
}  // namespace QuarloCliente::detail
