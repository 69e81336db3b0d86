#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <quarlo/servicio.hpp>

#include "books/book_wire.hpp"

namespace QuarloCliente {
namespace {

using ::testing::StartsWith;

class EnviarCafTest : public ::testing::Test {
 protected:
  void SetUp() override {
    servicio_.Configurar(server_.BaseUrl(), "llave");
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("quarlo-caf-" + std::to_string(::getpid()) + "-" + test->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  testing::LoopbackServer server_;
  Servicio servicio_;
  std::filesystem::path dir_;
};

TEST_F(EnviarCafTest, FileBytesAreSentExactlyAndTheAnswerDecides) {
  // All 256 byte values, NUL and lone UTF-8 continuation bytes included, in 1,000 bytes.
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes.push_back(static_cast<char>(i * 7 % 256));
  const std::string path = WriteFile("caf.xml", bytes);
  server_.Enqueue(testing::ScriptedResponse::Xml("<r><Result>0</Result></r>"));
  server_.Enqueue(testing::ScriptedResponse::Xml(
      "<r><Result>2</Result><Description>vencido</Description></r>"));

  const auto accepted = servicio_.EnviarCAF("T", path);
  EXPECT_EQ(accepted->Estado + accepted->Descripcion, "0");
  const auto sent = server_.WaitForRequest(0);
  EXPECT_EQ(testing::Shape(sent), "/UploadCaf UploadCafRequest(api): Environment Base64StrCaf");
  EXPECT_EQ(testing::Field(sent, "Environment"), "T");
  EXPECT_EQ(testing::DecodedField(sent, "Base64StrCaf"), bytes);
  const auto refused = servicio_.EnviarCAF("T", path);
  EXPECT_EQ(refused->Estado + " " + refused->Descripcion, "1 vencido");
}

TEST_F(EnviarCafTest, EmptyOrMissingFileFailsNamingThePathAndCreatesNothing) {
  const std::string empty = WriteFile("vacio.xml", "");
  // No separator after the prefix.
  EXPECT_THAT(servicio_.EnviarCAF("T", empty)->Descripcion,
              StartsWith("Error enviando CAFel fichero '" + empty + "'"));
  const std::string missing = (dir_ / "cafs" / "caf.xml").string();
  const std::string mistyped = (dir_ / "caf.xmll").string();
  for (const std::string& path : {missing, mistyped, dir_.string()}) {
    const auto result = servicio_.EnviarCAF("T", path);
    EXPECT_EQ(result->Estado, "1");
    EXPECT_THAT(result->Descripcion, StartsWith("Error enviando CAF"));
    EXPECT_THAT(result->Descripcion, ::testing::HasSubstr("'" + path + "'"));
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(std::filesystem::exists(mistyped));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
}  // namespace QuarloCliente
