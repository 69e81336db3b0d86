#pragma once

// Helpers of the stamping and rendering tests: reading images back with libraries independent
// of the ones that wrote them, and scratch files.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "barcode_reading.hpp"
#include "crypto/caf.hpp"
#include "service/ted.hpp"

namespace QuarloSandbox::checks {

using Pixels = std::vector<std::uint8_t>;
using QuarloCliente::testing::GrayImage;
using QuarloCliente::testing::ReadPdf417;
using QuarloCliente::testing::ReadPngWithLibpng;

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A binary PGM file (what pdftoppm -gray writes) as an image; nullopt when it is not one.
inline std::optional<GrayImage> ReadPgm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  GrayImage image;
  in >> magic >> image.width >> image.height >> maxValue;
  in.get();
  if (!in || magic != "P5" || maxValue != 255 || image.width <= 0 || image.height <= 0) {
    return std::nullopt;
  }
  image.pixels.resize(static_cast<std::size_t>(image.width) *
                      static_cast<std::size_t>(image.height));
  in.read(reinterpret_cast<char*>(image.pixels.data()),
          static_cast<std::streamsize>(image.pixels.size()));
  if (!in) return std::nullopt;
  return image;
}

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarlo-sbx-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// One authority and one CAF for all tests of the executable: key generation is the slow part.
inline const AuthorityKey& TestAuthority() {
  static const AuthorityKey key = AuthorityKey::Generate();
  return key;
}

inline const Caf& TestCaf() {
  static const Caf caf =
      IssueTestCaf("76192083-9", "Comercial Ñuñoa & Cía. Ltda.", 33, 1, 500, TestAuthority());
  return caf;
}

inline TedFields SampleFields() {
  TedFields fields;
  fields.re = "76192083-9";
  fields.td = "33";
  fields.f = "42";
  fields.fe = "2024-03-15";
  fields.rr = "11111111-1";
  fields.rsr = "Distribuidora Ñandú & Hijos <Sur> Sociedad Anónima Cerrada";
  fields.mnt = "119000";
  fields.it1 = "Cañería de cobre 1/2\" x 6 m, según norma NCh 951";
  fields.tsted = "2024-03-15T10:20:30";
  return fields;
}

}  // namespace QuarloSandbox::checks
