#include "local_files.hpp"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/xml_document.hpp>

namespace QuarloCli {

namespace {

// Larger than any document, book or CAF a shop handles; a file beyond it is a mistake, and
// reading it whole would only exhaust memory.
constexpr std::uintmax_t kMaxLocalFile = 64u << 20;

// Why a file could not be opened, in Spanish whatever the system's messages are in.
std::string UnreadableReason(const std::string& path, int error) {
  switch (error) {
    case ENOENT:
      return "no existe el fichero '" + path + "'";
    case EACCES:
      return "no hay permiso para leer '" + path + "'";
    default:
      return "no se pudo leer '" + path + "'";
  }
}

}  // namespace

QuarloCliente::Bytes ReadLocalFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw QuarloCliente::Error("'" + path + "' es una carpeta, no un fichero");
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) throw QuarloCliente::Error(UnreadableReason(path, errno));
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxLocalFile) {
    throw QuarloCliente::Error("'" + path + "' es demasiado grande (más de 64 MiB)");
  }
  QuarloCliente::Bytes bytes;
  char chunk[65536];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + file.gcount());
    if (bytes.size() > kMaxLocalFile) {
      throw QuarloCliente::Error("'" + path + "' es demasiado grande (más de 64 MiB)");
    }
  }
  if (file.bad()) throw QuarloCliente::Error("no se pudo leer '" + path + "'");
  return bytes;
}

void WriteLocalFile(const std::string& path, const QuarloCliente::Bytes& bytes) {
  QuarloCliente::Servicio local;
  if (!local.EscribirFichero(path, bytes)) {
    throw QuarloCliente::Error("no se pudo escribir '" + path + "'");
  }
}

void WriteLocalFile(const std::string& path, const std::string& text) {
  WriteLocalFile(path, QuarloCliente::Bytes(text.begin(), text.end()));
}

QuarloCliente::ArchivoCaf ReadCaf(const std::string& path) {
  const QuarloCliente::Bytes bytes = ReadLocalFile(path);
  try {
    return QuarloCliente::ArchivoCaf::DesdeBytes(bytes);
  } catch (const QuarloCliente::Error& error) {
    throw QuarloCliente::Error("'" + path + "' no es un CAF válido: " + error.what());
  }
}

std::string RootName(std::string_view xml) {
  std::size_t at = 0;
  while (true) {
    at = xml.find('<', at);
    if (at == std::string_view::npos || at + 1 >= xml.size()) return "";
    const char next = xml[at + 1];
    if (next == '?' || next == '!') {
      // Declarations, comments and a DOCTYPE come before the root; none holds a '>' that
      // matters here except a comment's, whose end is "-->".
      const bool comment = xml.compare(at, 4, "<!--") == 0;
      const std::size_t end = comment ? xml.find("-->", at + 4) : xml.find('>', at);
      if (end == std::string_view::npos) return "";
      at = end + 1;
      continue;
    }
    const std::size_t nameEnd = xml.find_first_of(" \t\r\n/>", at + 1);
    std::string_view name = xml.substr(
        at + 1, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - at - 1);
    const std::size_t colon = name.find(':');
    if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
    return std::string(name);
  }
}

std::string TedOf(const std::string& xml) {
  // The TED holds no element of another name that begins with "TED", and text values hold "<"
  // only escaped, so the first "<TED" opens it.
  std::size_t begin = xml.find("<TED>");
  if (begin == std::string::npos) begin = xml.find("<TED ");
  const std::size_t end = xml.find("</TED>", begin == std::string::npos ? 0 : begin);
  if (begin == std::string::npos || end == std::string::npos) return "";
  return xml.substr(begin, end + 6 - begin);
}

bool IsBoletaType(std::int64_t tipo) {
  return tipo == 39 || tipo == 41;
}

void TedFields(Record& record, const std::string& ted) {
  QuarloCliente::Servicio local;
  const QuarloCliente::XmlDocument parsed = QuarloCliente::XmlDocument::Parse(ted);
  record.Field("rut", local.NodeValue(parsed, "//DD/RE"))
      .Field("tipo", local.NodeValue(parsed, "//DD/TD"))
      .Field("folio", local.NodeValue(parsed, "//DD/F"));
}

void ReportLocalFailure(Context& context, Record& record, const std::string& descripcion) {
  Context::Warn(descripcion);
  record.LocalFailure(descripcion);
  context.Report(record, QuarloCliente::TipoFallo::ErrorLocal);
}

}  // namespace QuarloCli
