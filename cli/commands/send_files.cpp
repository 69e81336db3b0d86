#include "send_files.hpp"

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace QuarloCli {

using QuarloCliente::Bytes;
using QuarloCliente::TipoFallo;

namespace {

// Far above the largest book a shop sends, low enough that a wrong argument (a disk image, a
// log) is refused before it is read into memory.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::string_view View(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Past the declaration, comments, processing instructions and a document type: the root's
// start tag, or npos when the text never opens an element.
std::size_t RootTagStart(std::string_view text) {
  std::size_t at = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (at < text.size()) {
    if (IsSpace(text[at])) {
      ++at;
    } else if (text.substr(at, 2) == "<?") {
      at = text.find("?>", at);
      at = at == std::string_view::npos ? at : at + 2;
    } else if (text.substr(at, 4) == "<!--") {
      at = text.find("-->", at);
      at = at == std::string_view::npos ? at : at + 3;
    } else if (text.substr(at, 2) == "<!") {
      at = text.find('>', at);
      at = at == std::string_view::npos ? at : at + 1;
    } else {
      return text[at] == '<' ? at : std::string_view::npos;
    }
  }
  return std::string_view::npos;
}

// The root's local name, its prefix dropped; "" when there is none.
std::string RootName(std::string_view text) {
  const std::size_t start = RootTagStart(text);
  if (start == std::string_view::npos) return "";
  std::size_t end = start + 1;
  while (end < text.size() && !IsSpace(text[end]) && text[end] != '>' && text[end] != '/') ++end;
  std::string_view name = text.substr(start + 1, end - start - 1);
  if (const auto colon = name.find(':'); colon != std::string_view::npos) {
    name.remove_prefix(colon + 1);
  }
  return std::string(name);
}

// The first TipoDTE's text, trimmed; the IdDoc that holds it opens every DTE form.
std::string FirstTipoDte(std::string_view text) {
  const auto tag = text.find("TipoDTE>");
  if (tag == std::string_view::npos) return "";
  const auto begin = tag + 8;
  std::string_view value = text.substr(begin, text.find('<', begin) - begin);
  while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsSpace(value.back())) value.remove_suffix(1);
  return std::string(value);
}

std::string ClassName(FileClass fileClass) {
  switch (fileClass) {
    case FileClass::Dte:
      return "dte";
    case FileClass::Boleta:
      return "boleta";
    case FileClass::Consumo:
      return "consumo";
    case FileClass::LibroCompraVenta:
    case FileClass::LibroGuia:
    case FileClass::LibroBoleta:
      break;
  }
  return "libro";
}

}  // namespace

Bytes ReadWholeFile(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) throw LocalFault("el fichero no existe");
  if (std::filesystem::is_directory(status)) throw LocalFault("es una carpeta, no un fichero");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxFileBytes) {
    throw LocalFault("el fichero pasa de 64 MB");
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw LocalFault(errno == EACCES ? "sin permiso de lectura" : "no se pudo abrir el fichero");
  }
  Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw LocalFault("no se pudo leer el fichero");
  return bytes;
}

FileClass Classify(const Bytes& bytes) {
  const std::string_view text = View(bytes);
  const std::string root = RootName(text);
  if (root.empty()) throw LocalFault("el fichero no es XML");
  if (root == "DTE") {
    const std::string tipo = FirstTipoDte(text);
    return tipo == "39" || tipo == "41" ? FileClass::Boleta : FileClass::Dte;
  }
  if (root == "ConsumoFolios") return FileClass::Consumo;
  if (root == "LibroCompraVenta") return FileClass::LibroCompraVenta;
  if (root == "LibroGuia") return FileClass::LibroGuia;
  if (root == "LibroBoleta") return FileClass::LibroBoleta;
  throw LocalFault("el elemento raíz " + root +
                   " no es un DTE, una boleta, un consumo de folios ni un libro");
}

bool NeedsResolution(FileClass fileClass) {
  return fileClass == FileClass::Dte || fileClass == FileClass::Boleta;
}

SentFile SendFile(QuarloCliente::Servicio& servicio, const std::string& path,
                  const SendSettings& settings) {
  Record record("enviar");
  // Every record has every field, so that a table or a script finds the same columns. Text
  // values go as std::string: a bare "" would pick Record::Field's bool overload.
  record.Field("archivo", path);
  for (const char* field : {"clase", "rut", "tipo", "folio"}) record.Field(field, std::string());
  try {
    const Bytes bytes = ReadWholeFile(path);
    const FileClass fileClass = Classify(bytes);
    record.Field("clase", ClassName(fileClass));
    const TipoFallo fallo = NeedsResolution(fileClass)
                                ? SendDocument(servicio, fileClass, bytes, settings, record)
                                : SendBook(servicio, fileClass, bytes, settings, record);
    return {record, fallo};
  } catch (const std::exception& fault) {
    // Loading, reading a cover and the checks above throw before anything is sent; the
    // operations themselves never throw.
    record.LocalFailure(fault.what());
    return {record, TipoFallo::ErrorLocal};
  }
}

}  // namespace QuarloCli
