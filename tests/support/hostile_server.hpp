#pragma once

// What a hostile service answers, written once for every test that must hold against it. The
// paced, raw and reset deliveries are ScriptedResponse's (loopback_server.hpp); these are the
// bodies.

#include <cstddef>
#include <string>
#include <string_view>

#include "loopback_server.hpp"

namespace QuarloCliente::testing {

// Which entities a bomb nests: general ones, referred to in the text, or parameter ones, which
// expand inside the document type itself.
enum class EntityKind { General, Parameter };

// A document type for `root` declaring `levels` nested entities, each ten references to the one
// before and the first a hundred characters: fully expanded, the last stands for 100 * 10^levels
// characters in a declaration of well under 1 KB.
std::string EntityBombDoctype(std::string_view root, int levels, EntityKind kind);

// The reference to the last entity of a bomb of `levels` general entities ("&e7;").
std::string EntityBombReference(int levels);

// A service answer that carries a bomb: a failure whose Description refers to the last general
// entity, or whose document type expands the parameter ones.
std::string EntityBombAnswer(int levels, EntityKind kind);

// A failure answer whose Description is `text`, escaped: a service echoing what it was sent.
std::string EchoingAnswer(std::string_view text);

// A success answer whose Data is the Base64 of `bytes` bytes starting "%PDF-": a large PDF.
std::string LargeDataAnswer(std::size_t bytes);

// The bytes LargeDataAnswer encodes.
std::string LargeDataBytes(std::size_t bytes);

}  // namespace QuarloCliente::testing
