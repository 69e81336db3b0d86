#include <gtest/gtest.h>
#include <libxml/globals.h>
#include <libxml/xmlerror.h>

#include <cstdlib>
#include <quarlo/quarlo.hpp>
#include <string>

#include "core/xml.hpp"

namespace QuarloCliente {
namespace {

// The host application's handlers: they count every call, and their contexts tell them apart
// from any the library could set.
int hostCalls = 0;
int genericContext = 0;
int structuredContext = 0;

void HostGenericHandler(void*, const char*, ...) {
  ++hostCalls;
}

void HostStructuredHandler(void*, xmlErrorPtr) {
  ++hostCalls;
}

// Every way the library reads or writes XML, each given something broken where it can be.
void UseTheLibrary() {
  (void)detail::ParseNetworkXml("<R><Result>1</R>");
  (void)detail::ParseNetworkXml("<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><R/>");
  (void)detail::ParseNetworkXml("<?xml version=\"1.0\" encoding=\"UTF-16\"?><R>\xFF\xFE</R>");
  (void)detail::ParseHeldXml("<R><Description>&nada;</Description></R>");
  (void)XmlDocument::Parse("<R a='1' a='2'/>");
  Servicio servicio;
  (void)servicio.ReplaceXmlValue("<R><F>1</F></R>", "//F", "2 & <3>");
  (void)XmlDocument::Parse("<R a=\"Ñ\"><F>ñ</F></R>").Xml();
  auto dte = std::make_shared<DteDocumentBinding>();
  try {
    dte->Load("<DTE><Documento>", DefaultBindingContext());
  } catch (const Error&) {
  }
  (void)dte->ToXml(DefaultBindingContext(), true, 2, kBindingLineEndLf, kBindingBanner);
}

// The handlers are per thread and set before the library is first used, so the check runs in a
// process of its own, where the library starts fresh.
[[noreturn]] void SetHandlersThenUseTheLibrary() {
  xmlSetGenericErrorFunc(&genericContext, HostGenericHandler);
  xmlSetStructuredErrorFunc(&structuredContext, HostStructuredHandler);
  UseTheLibrary();
  const bool kept = xmlGenericError == HostGenericHandler &&
                    xmlGenericErrorContext == &genericContext &&
                    xmlStructuredError == HostStructuredHandler &&
                    xmlStructuredErrorContext == &structuredContext;
  std::exit((kept ? 0 : 1) + (hostCalls == 0 ? 0 : 2));
}

TEST(XmlErrorHandlers, TheHostsStayInPlaceAndAreNeverCalled) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(SetHandlersThenUseTheLibrary(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace QuarloCliente
