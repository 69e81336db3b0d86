#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// One child of a request body: its element name and its text, written escaped.
struct BodyField {
  std::string_view name;
  std::string_view value;
  // When set, the text is the Base64 of these bytes instead of `value`, encoded straight into the
  // body: a document's Content is tens of kilobytes, and Base64 never needs escaping.
  std::optional<std::span<const std::uint8_t>> base64Of = std::nullopt;
};

// How the root's opening tag is written: `<Root xmlns="...">`, or with a blank on each side of
// the equals sign and before ">" (`<Root xmlns = "..." >`), which one request of the service
// expects.
enum class OpeningTag { Plain, Spaced };

// The one-line request body: the root element with ApiNamespace as its default namespace and the
// children in the given order, every child present even when empty. Values are XML-escaped
// (&, <, >), so that no value can change the shape of the request.
std::string WriteRequestBody(std::string_view root, std::initializer_list<BodyField> fields,
                             OpeningTag tag = OpeningTag::Plain);

// A whole number of any integer type in plain decimal, with a minus sign when negative and no
// padding; std::to_string does not look at the locale for whole numbers.
template <std::integral Number>
std::string Decimal(Number number) {
  return std::to_string(number);
}

// A Boolean as the service writes it: "True" or "False".
std::string_view TrueFalse(bool flag);

}  // namespace QuarloCliente::detail
