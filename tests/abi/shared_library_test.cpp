#include <dlfcn.h>
#include <gtest/gtest.h>

#include <quarlo/quarlo.hpp>
#include <stdexcept>
#include <string>
#include <typeinfo>

// This program links libquarlo.so and nothing of the library's internals: it sees the library
// as a user's program does.
namespace QuarloCliente {
namespace {

// The file the loaded code of a library function comes from.
std::string FileHolding(const void* code) {
  Dl_info info{};
  if (dladdr(code, &info) == 0 || info.dli_fname == nullptr) return "";
  return info.dli_fname;
}

TEST(SharedLibrary, IsTheOneLoadedAndReportsItsVersion) {
  const std::string file =
      FileHolding(reinterpret_cast<const void*>(&QuarloCliente::VersionBiblioteca));
  const std::string soname = "libquarlo.so." + std::to_string(QUARLO_VERSION_MAJOR);
  ASSERT_GE(file.size(), soname.size()) << file;
  EXPECT_NE(file.find(soname), std::string::npos) << file;

  EXPECT_EQ(VersionBiblioteca(), QUARLO_VERSION);
  EXPECT_EQ(std::string(QUARLO_VERSION), std::to_string(QUARLO_VERSION_MAJOR) + "." +
                                             std::to_string(QUARLO_VERSION_MINOR) + "." +
                                             std::to_string(QUARLO_VERSION_PATCH));
}

// What the library throws must be the program's Error: its type information lives in the
// library and is exported, or a catch here would miss it.
TEST(SharedLibrary, ErrorsThrownInsideAreCaughtAsError) {
  Servicio servicio;
  try {
    servicio.DecodeBase64("QUJD*");
    ADD_FAILURE() << "no exception";
  } catch (const Error& error) {
    EXPECT_EQ(typeid(error), typeid(Error));
    EXPECT_NE(std::string(error.what()), "");
  }
  EXPECT_THROW(servicio.NodeValue(XmlDocument::Parse("<a/>"), "a"), std::runtime_error);
}

// Objects made inside the library and handed out keep their dynamic type across the boundary.
TEST(SharedLibrary, ObjectsMadeInsideKeepTheirTypes) {
  auto dte = std::make_shared<DteDocumentBinding>();
  dte->CrearDocumento()->Encabezado()->IdDoc()->SetFolio(BindingInteger(7));
  const auto children = dte->Children();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0]->Name(), "Documento");
  const std::shared_ptr<BindingElement> element = dte->Documento();
  EXPECT_NE(std::dynamic_pointer_cast<DocumentoDte>(element), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<ClavePublicaRSA>(element), nullptr);
}

}  // namespace
}  // namespace QuarloCliente
