#pragma once

// What the outbox tests share: a private folder for the outbox file, the test CAFs (boleta 39
// folios 4001-5000, factura 33 folios 1501-1600) and their documents.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <quarlo/bandeja.hpp>
#include <quarlo/binding.hpp>
#include <string>

#include "binding/library_contexts.hpp"
#include "error_of.hpp"
#include "sii_schemas.hpp"

namespace QuarloCliente::testing {

inline Bytes CafBytes(const std::string& file) {
  const std::string text = ReadTestData("ted/" + file);
  return Bytes(text.begin(), text.end());
}

inline std::shared_ptr<BoletaDocumentBinding> TestBoleta() {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  boleta->Load(ReadTestData("boleta_39.xml"), detail::StrictLoadingContext());
  return boleta;
}

inline std::shared_ptr<DteDocumentBinding> TestFactura() {
  auto factura = std::make_shared<DteDocumentBinding>();
  factura->Load(ReadTestData("factura_33.xml"), detail::StrictLoadingContext());
  return factura;
}

// The permission bits of a file, -1 when it does not exist.
inline int ModeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

class OutboxTest : public ::testing::Test {
 protected:
  OutboxTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarlo-bandeja-XXXXXX");
    if (::mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
    path_ = dir_ / "caja1.bandeja";
  }
  ~OutboxTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // An outbox at the test's file, configured and holding the boleta CAF.
  std::unique_ptr<BandejaSalida> Ready() {
    auto bandeja = std::make_unique<BandejaSalida>(path_.string());
    bandeja->Configurar("T", "2014-08-22", 80);
    bandeja->RegistrarCaf(CafBytes("caf_39.xml"));
    return bandeja;
  }

  std::filesystem::path dir_;
  std::filesystem::path path_;
};

}  // namespace QuarloCliente::testing
