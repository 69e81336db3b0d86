#include "core/document_bytes.hpp"

#include <cstdint>
#include <optional>
#include <quarlo/error.hpp>
#include <span>
#include <utility>

#include "core/charset.hpp"

namespace QuarloCliente::detail {

namespace {

using namespace std::string_view_literals;

enum class Encoding { Utf8, Latin1, Windows1252, Ascii };

struct EncodingName {
  std::string_view name;  // upper case
  Encoding encoding;
};

// The names an XML declaration may give each encoding read here: the registered names and
// aliases that fit the declaration's grammar, and the ones Java and Windows programs write.
constexpr EncodingName kEncodingNames[] = {
    {"UTF-8", Encoding::Utf8},         {"ISO-8859-1", Encoding::Latin1},
    {"ISO_8859-1", Encoding::Latin1},  {"ISO8859-1", Encoding::Latin1},
    {"ISO8859_1", Encoding::Latin1},   {"LATIN1", Encoding::Latin1},
    {"L1", Encoding::Latin1},          {"ISO-IR-100", Encoding::Latin1},
    {"IBM819", Encoding::Latin1},      {"CP819", Encoding::Latin1},
    {"CSISOLATIN1", Encoding::Latin1}, {"WINDOWS-1252", Encoding::Windows1252},
    {"CP1252", Encoding::Windows1252}, {"US-ASCII", Encoding::Ascii},
    {"ASCII", Encoding::Ascii},        {"ANSI_X3.4-1968", Encoding::Ascii},
    {"ISO646-US", Encoding::Ascii},
};

// windows-1252 differs from ISO-8859-1 only in 0x80..0x9F: there it holds the euro sign, curly
// quotes, dashes and a few letters. The five bytes it leaves undefined ("") are refused rather
// than passed on as control characters: a file that holds one is not windows-1252 at all.
constexpr std::string_view kWindows1252High[32] = {
    "\u20AC", "",       "\u201A", "\u0192", "\u201E", "\u2026", "\u2020", "\u2021",
    "\u02C6", "\u2030", "\u0160", "\u2039", "\u0152", "",       "\u017D", "",
    "",       "\u2018", "\u2019", "\u201C", "\u201D", "\u2022", "\u2013", "\u2014",
    "\u02DC", "\u2122", "\u0161", "\u203A", "\u0153", "",       "\u017E", "\u0178",
};

// The wide encodings, told by their byte order mark or by how they write "<?".
struct WideSignature {
  std::string_view start;
  std::string_view name;
};
constexpr WideSignature kWideSignatures[] = {
    {"\x00\x00\xFE\xFF"sv, "UTF-32"}, {"\xFF\xFE\x00\x00"sv, "UTF-32"},
    {"\x00\x00\x00\x3C"sv, "UTF-32"}, {"\x3C\x00\x00\x00"sv, "UTF-32"},
    {"\xFE\xFF"sv, "UTF-16"},         {"\xFF\xFE"sv, "UTF-16"},
    {"\x00\x3C\x00\x3F"sv, "UTF-16"}, {"\x3C\x00\x3F\x00"sv, "UTF-16"},
};

constexpr std::size_t kLongestEncodingName = 64;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view SkipXmlSpace(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  return text;
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The declaration's grammar for an encoding name, which also keeps what an Error quotes short
// and printable.
bool IsEncodingName(std::string_view name) {
  if (name.empty() || name.size() > kLongestEncodingName || !IsAsciiLetter(name.front())) {
    return false;
  }
  for (const char c : name) {
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '_' && c != '-') {
      return false;
    }
  }
  return true;
}

// One `name = "value"` pair of the declaration, consumed from the front of `rest`; nullopt when
// what follows is not one.
struct PseudoAttribute {
  std::string_view name;
  std::string_view value;
};
std::optional<PseudoAttribute> TakePseudoAttribute(std::string_view& rest) {
  const std::size_t name_end = rest.find_first_of(" \t\r\n=");
  if (name_end == 0 || name_end == std::string_view::npos) return std::nullopt;
  const std::string_view name = rest.substr(0, name_end);
  std::string_view after = SkipXmlSpace(rest.substr(name_end));
  if (after.empty() || after.front() != '=') return std::nullopt;
  after = SkipXmlSpace(after.substr(1));
  if (after.empty() || (after.front() != '"' && after.front() != '\'')) return std::nullopt;
  const std::size_t close = after.find(after.front(), 1);
  if (close == std::string_view::npos) return std::nullopt;
  rest = after.substr(close + 1);
  return PseudoAttribute{name, after.substr(1, close - 1)};
}

// The encoding named by the declaration that opens the text; "" when there is no declaration,
// it names none, or it is malformed (the parser then says the text is not well-formed).
std::string_view DeclaredEncoding(std::string_view text) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  if (text.size() < 6 || !text.starts_with("<?xml") || !IsXmlSpace(text[5])) return {};
  const std::size_t end = text.find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view rest = text.substr(5, end - 5);
  while (!rest.empty() && IsXmlSpace(rest.front())) {
    rest = SkipXmlSpace(rest);
    if (rest.empty()) break;
    const std::optional<PseudoAttribute> attribute = TakePseudoAttribute(rest);
    if (!attribute) return {};
    if (attribute->name == "encoding") {
      return IsEncodingName(attribute->value) ? attribute->value : std::string_view{};
    }
  }
  return {};
}

bool SameName(std::string_view name, std::string_view upper) {
  if (name.size() != upper.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c =
        name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
    if (c != upper[i]) return false;
  }
  return true;
}

// The encoding a declared name stands for; throws Error naming it when the library reads no such
// encoding.
Encoding EncodingNamed(std::string_view name) {
  for (const auto& [known, encoding] : kEncodingNames) {
    if (SameName(name, known)) return encoding;
  }
  throw Error("la codificación " + std::string(name) + " no se admite");
}

[[noreturn]] void RefuseByte(std::string_view bytes, std::size_t at, std::string_view encoding) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = static_cast<std::uint8_t>(bytes[at]);
  throw Error(std::string("el byte 0x") + kHex[byte >> 4] + kHex[byte & 0xF] + " en la posición " +
              std::to_string(at) + " no es válido en la codificación " + std::string(encoding));
}

std::string Windows1252ToUtf8(std::string_view bytes, std::string_view name) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(bytes[i]);
    if (byte < 0x80) {
      text.push_back(bytes[i]);
    } else if (byte >= 0xA0) {
      text.push_back(static_cast<char>(0xC0 | byte >> 6));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    } else if (const std::string_view special = kWindows1252High[byte - 0x80]; !special.empty()) {
      text.append(special);
    } else {
      RefuseByte(bytes, i, name);
    }
  }
  return text;
}

std::string Latin1TextToUtf8(std::string_view bytes) {
  return Latin1ToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::size_t FirstBeyondAscii(std::string_view bytes) {
  std::size_t i = 0;
  while (static_cast<std::uint8_t>(bytes[i]) < 0x80) ++i;
  return i;
}

// Bytes that are not valid UTF-8 (the first bad one at `first_invalid`), in the encoding the
// declaration names. A byte order mark says UTF-8 whatever the declaration says.
std::string DecodeDeclared(std::string_view bytes, std::size_t first_invalid) {
  if (bytes.starts_with(kUtf8Bom)) RefuseByte(bytes, first_invalid, "UTF-8");
  const std::string_view name = DeclaredEncoding(bytes);
  if (name.empty()) return Latin1TextToUtf8(bytes);
  switch (EncodingNamed(name)) {
    case Encoding::Utf8:
      RefuseByte(bytes, first_invalid, name);
    case Encoding::Ascii:
      RefuseByte(bytes, FirstBeyondAscii(bytes), name);
    case Encoding::Windows1252:
      return Windows1252ToUtf8(bytes, name);
    case Encoding::Latin1:
      break;
  }
  return Latin1TextToUtf8(bytes);
}

}  // namespace

std::string_view DocumentBytesAsUtf8(std::string_view bytes, std::string& storage) {
  for (const auto& [start, name] : kWideSignatures) {
    if (bytes.starts_with(start)) {
      throw Error("la codificación " + std::string(name) + " no se admite");
    }
  }
  const std::size_t valid = Utf8ValidPrefix(bytes);
  if (valid == bytes.size()) return bytes;
  storage = DecodeDeclared(bytes, valid);
  return storage;
}

std::string DocumentBytesToUtf8(std::string_view bytes) {
  std::string storage;
  const std::string_view text = DocumentBytesAsUtf8(bytes, storage);
  return text.data() == storage.data() ? std::move(storage) : std::string(text);
}

}  // namespace QuarloCliente::detail
