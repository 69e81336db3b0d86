#include "hostile_server.hpp"

#include <span>

#include "core/base64.hpp"

namespace QuarloCliente::testing {

namespace {

constexpr int kReferencesPerLevel = 10;
constexpr std::size_t kFirstEntityLength = 100;

// The name of the entity at a level of the bomb ("e3").
std::string EntityName(int level) {
  return "e" + std::to_string(level);
}

// A reference to it: "&e3;" for a general entity, "%e3;" for a parameter one.
std::string Reference(int level, EntityKind kind) {
  return (kind == EntityKind::General ? "&" : "%") + EntityName(level) + ";";
}

// Its declaration with the given replacement text.
std::string Declaration(int level, EntityKind kind, const std::string& value) {
  return std::string("<!ENTITY ") + (kind == EntityKind::Parameter ? "% " : "") +
         EntityName(level) + " \"" + value + "\">";
}

// The text as XML character data.
std::string Escaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string EntityBombDoctype(std::string_view root, int levels, EntityKind kind) {
  std::string doctype = "<!DOCTYPE " + std::string(root) + " [";
  doctype += Declaration(1, kind, std::string(kFirstEntityLength, 'a'));
  for (int level = 2; level <= levels; ++level) {
    std::string value;
    for (int i = 0; i < kReferencesPerLevel; ++i) value += Reference(level - 1, kind);
    doctype += Declaration(level, kind, value);
  }
  if (kind == EntityKind::Parameter) doctype += Reference(levels, kind);
  return doctype + "]>";
}

std::string EntityBombReference(int levels) {
  return Reference(levels, EntityKind::General);
}

std::string EntityBombAnswer(int levels, EntityKind kind) {
  const std::string description = kind == EntityKind::General ? EntityBombReference(levels) : "";
  return "<?xml version=\"1.0\"?>" + EntityBombDoctype("Response", levels, kind) +
         "<Response><Result>1</Result><Description>" + description + "</Description></Response>";
}

std::string EchoingAnswer(std::string_view text) {
  return "<Response><Result>1</Result><Description>" + Escaped(text) + "</Description></Response>";
}

std::string LargeDataBytes(std::size_t bytes) {
  std::string data = "%PDF-1.4\n";
  data.reserve(bytes);
  // Every byte value, so that the Base64 text has no run a parser could shortcut.
  for (std::size_t i = data.size(); i < bytes; ++i) data.push_back(static_cast<char>(i * 131));
  data.resize(bytes);
  return data;
}

std::string LargeDataAnswer(std::size_t bytes) {
  const std::string data = LargeDataBytes(bytes);
  return "<Response><Result>0</Result><Description></Description><Data>" +
         detail::EncodeBase64(
             std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) +
         "</Data></Response>";
}

}  // namespace QuarloCliente::testing
