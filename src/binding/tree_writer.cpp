#include "binding/tree_writer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/xml_escape.hpp"

namespace QuarloCliente::detail {

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// Copies `size` bytes, between one and two words, as a first and a last word that overlap.
template <class Word>
inline void PutHeadAndTail(char* to, const char* from, std::size_t size) {
  Word head = 0;
  Word tail = 0;
  std::memcpy(&head, from, sizeof(Word));
  std::memcpy(&tail, from + size - sizeof(Word), sizeof(Word));
  std::memcpy(to, &head, sizeof(Word));
  std::memcpy(to + size - sizeof(Word), &tail, sizeof(Word));
}

// Copies a piece of a few bytes, which the library's memcpy would spend more time reaching than
// copying: names, prefixes and indentation are mostly under sixteen bytes.
inline char* Put(char* to, const char* from, std::size_t size) {
  if (size > 16) {
    std::memcpy(to, from, size);
  } else if (size >= 8) {
    PutHeadAndTail<std::uint64_t>(to, from, size);
  } else if (size >= 4) {
    PutHeadAndTail<std::uint32_t>(to, from, size);
  } else if (size > 0) {
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  }
  return to + size;
}

inline char* Put(char* to, std::string_view piece) {
  return Put(to, piece.data(), piece.size());
}

// Any std::string's buffer holds at least sixteen bytes: its own inline buffer while it is
// shorter, its allocation once it is longer. A piece of at most sixteen bytes at the start of one
// can so be copied as one block, without the branches on its length, when the room ahead holds
// sixteen bytes too; what lies past the piece is overwritten by what follows.
constexpr std::size_t kBlock = 16;

inline char* PutBlock(char* to, const std::string& text, std::size_t size) {
  std::memcpy(to, text.data(), kBlock);
  return to + size;
}

// True when the text, at most sixteen bytes of a std::string, needs no reference in element
// content.
inline bool PlainShortText(const std::string& text) {
#if defined(__SSE2__)
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data()));
  const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('&')),
                                                 _mm_cmpeq_epi8(block, _mm_set1_epi8('<'))),
                                    _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('>')),
                                                 _mm_cmpeq_epi8(block, _mm_set1_epi8('\r'))));
  const auto inside = (std::uint32_t{1} << text.size()) - 1;
  return (static_cast<std::uint32_t>(_mm_movemask_epi8(hits)) & inside) == 0;
#else
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return detail::NeedsReference(c, EscapeFor::Text); });
#endif
}

// Namespace URIs are compared for every element; they are equal nearly always and a few dozen
// bytes long, where an inline comparison beats calling the library's.
inline bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  for (; i + 8 <= a.size(); i += 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) return false;
  }
  for (; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// The text written so far, with room reserved ahead: a document is written a few bytes at a time,
// and std::string::append would check the capacity and call the library's copy for each of them.
class Sink {
 public:
  Sink() = default;
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  // What was written; kept apart from the caller's string, as room grown in a string would be
  // zeroed first.
  std::string_view Text() const { return {buffer_.get(), Used()}; }

  // Room for `size` more bytes at the returned cursor, valid until the next call.
  char* Room(std::size_t size) {
    if (static_cast<std::size_t>(end_ - at_) < size) Grow(size);
    return at_;
  }
  void Advance(char* end) { at_ = end; }
  // How much of the text the sink has written.
  std::size_t Written() const { return Used(); }

  void Append(std::string_view piece) { Advance(Put(Room(piece.size()), piece)); }
  void Append(char c) {
    char* at = Room(1);
    *at = c;
    Advance(at + 1);
  }
  void AppendEscaped(std::string_view value, EscapeFor target) {
    Advance(PutEscaped(Room(detail::MaxEscapedSize(value.size())), value, target));
  }

  // Writes the escaped value at a cursor with room for it.
  static char* PutEscaped(char* at, std::string_view value, EscapeFor target) {
    // Most values are a few plain characters, not worth a call.
    if (value.size() <= 16 && std::none_of(value.begin(), value.end(), [target](char c) {
          return detail::NeedsReference(c, target);
        })) {
      return Put(at, value);
    }
    return detail::WriteEscapedXml(at, value, target);
  }

 private:
  std::size_t Used() const { return static_cast<std::size_t>(at_ - buffer_.get()); }

  [[gnu::noinline]] void Grow(std::size_t size) {
    const std::size_t used = Used();
    const std::size_t capacity =
        std::max({kFirstRoom, 2 * static_cast<std::size_t>(end_ - buffer_.get()), used + size});
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (used > 0) std::memcpy(grown.get(), buffer_.get(), used);
    buffer_ = std::move(grown);
    at_ = buffer_.get() + used;
    end_ = buffer_.get() + capacity;
  }

  // Enough for a document of a few dozen lines; a larger one doubles the room a few times.
  static constexpr std::size_t kFirstRoom = 16384;

  std::unique_ptr<char[]> buffer_;
  char* at_ = nullptr;
  char* end_ = nullptr;
};

// Writes a tree as XML text with a snapshot of a context's namespace map. With a hidden prefix,
// names of its namespace are written without it, and its declaration as a default one: the text
// that the submissions' clean-up makes of the prefixed one.
class Writer {
 public:
  Writer(const std::map<std::string, std::string>& prefixes, int indentation,
         std::string_view line_end, bool expand_empty, const detail::SubmissionMarkup& markup = {})
      : prefixes_(prefixes),
        indentation_(static_cast<std::size_t>(indentation)),
        line_end_(line_end),
        expand_empty_(expand_empty),
        hidden_prefix_(markup.marker),
        dropped_default_(markup.dropped_default_namespace),
        omitted_(markup.omitted),
        closing_markup_(markup.closing_markup),
        replaced_(markup.replaced),
        replaced_text_(markup.replaced_text) {}

  // Hands the text over in consecutive pieces, so that a caller converting it as it goes copies
  // it once.
  template <class Take>
  void WritePieces(const BindingNode& root, Take&& take) {
    Sink sink;
    WriteElement(root, 0, "", true, sink);
    if (indentation_ > 0) sink.Append(line_end_);
    const std::string_view text = sink.Text();
    // A blank after the root's name: an attribute or a declaration of its own follows.
    const std::string declarations = RootDeclarations(text[root_name_end_] == ' ');
    take(text.substr(0, root_name_end_));
    take(declarations);
    take(text.substr(root_name_end_));
  }

 private:
  // How the names of one namespace are written.
  struct Qualified {
    bool prefixed = false;
    // "p:", or "" for no prefix and for the hidden one.
    std::string qualifier;
  };

  // The namespaces are declared on the root once the whole tree has shown which it uses, in the
  // order they first appeared; one walk instead of a planning walk before the writing.
  std::string RootDeclarations(bool tag_goes_on) const {
    std::string declarations;
    for (std::size_t i = 0; i < root_declarations_.size(); ++i) {
      const auto& [declared_prefix, uri] = root_declarations_[i];
      if (Hidden(declared_prefix)) {
        if (DropsDefault(uri, tag_goes_on || i + 1 < root_declarations_.size())) continue;
        declarations += " xmlns=\"";
      } else {
        declarations.append(" xmlns:").append(declared_prefix).append("=\"");
      }
      detail::AppendEscapedXml(declarations, uri, EscapeFor::Attribute);
      declarations += '"';
    }
    return declarations;
  }

  // The clean-up's rule for a default declaration: gone when something follows it in its tag.
  bool DropsDefault(std::string_view ns, bool followed) const {
    return followed && !dropped_default_.empty() && ns == dropped_default_;
  }

  // A namespace the root must declare, the first time it is met.
  void Declare(const std::string& ns, const std::string& prefix) {
    if (declared_.insert(ns).second) root_declarations_.emplace_back(prefix, ns);
  }

  std::string AttributePrefix(const std::string& ns) {
    if (const auto found = prefixes_.find(ns); found != prefixes_.end()) return found->second;
    std::set<std::string> taken;
    for (const auto& [uri, prefix] : prefixes_) taken.insert(prefix);
    for (const auto& [uri, prefix] : attribute_prefixes_) taken.insert(prefix);
    if (ns == detail::kXsiNamespace && taken.count("xsi") == 0) return "xsi";
    for (int number = 1;; ++number) {
      std::string candidate = "ns" + std::to_string(number);
      if (taken.count(candidate) == 0) return candidate;
    }
  }

  bool Hidden(const std::string& prefix) const {
    return !hidden_prefix_.empty() && prefix == hidden_prefix_;
  }

  std::string Qualifier(const std::string& prefix) const {
    return Hidden(prefix) ? std::string() : prefix + ":";
  }

  // Looked up once per run of elements of one namespace; entries stay where they are, so the
  // reference outlives the children's lookups. A typed element's namespace is its declaration's,
  // one string of the schema table for all of them, which the element names by a byte it holds
  // itself: a run is recognised by that byte, without reaching the declaration or the string.
  static std::string_view NamespaceOf(const BindingNode& node) {
    return node.particle != nullptr ? detail::schema::NamespaceUri(node.particle_ns)
                                    : std::string_view(node.ns);
  }

  // Namespaces seen through the schema are one string each, compared by address first.
  static bool InScope(std::string_view ns, std::string_view scope) {
    return ns.data() == scope.data() || SameText(ns, scope);
  }

  // The same namespace as the element before, nearly always: decided inline, the rest out of line.
  [[gnu::always_inline]] const Qualified& Qualify(const BindingNode& node) {
    if (node.particle != nullptr && static_cast<int>(node.particle_ns) == last_schema_ns_) {
      return *last_qualified_;
    }
    return QualifyAnother(node);
  }

  [[gnu::noinline]] const Qualified& QualifyAnother(const BindingNode& node) {
    const Qualified& qualified = QualifyAnother(NamespaceOf(node));
    last_schema_ns_ = node.particle != nullptr ? static_cast<int>(node.particle_ns) : kNoSchemaNs;
    return qualified;
  }

  [[gnu::noinline]] const Qualified& QualifyAnother(std::string_view ns) {
    if (last_qualified_ != nullptr && SameText(ns, last_ns_)) {
      last_ns_ = ns;
      return *last_qualified_;
    }
    auto [entry, added] = qualified_.try_emplace(std::string(ns));
    if (added && !ns.empty()) {
      if (const auto found = prefixes_.find(entry->first); found != prefixes_.end()) {
        entry->second = {true, Qualifier(found->second)};
        Declare(entry->first, found->second);
      }
    }
    last_ns_ = ns;
    last_qualified_ = &entry->second;
    return entry->second;
  }

  // The line end and indentation before an element of that level.
  std::string_view Indentation(std::size_t level) {
    if (indentation_ == 0) return {};
    const std::size_t size = line_end_.size() + level * indentation_;
    if (indent_text_.size() < size) Deepen(size);
    return std::string_view(indent_text_).substr(0, size);
  }

  [[gnu::noinline]] void Deepen(std::size_t size) {
    indent_text_ = line_end_;
    indent_text_.append(2 * size, ' ');
  }

  // The pieces go straight into the text: a document of a few thousand elements is written once
  // per submission, and temporaries per element cost more than the writing itself.
  void WriteElement(const BindingNode& node, std::size_t level, std::string_view default_ns,
                    bool root, Sink& sink) {
    const std::string_view ns = NamespaceOf(node);
    const Qualified& name = Qualify(node);
    const std::string_view indentation = root ? std::string_view() : Indentation(level);
    char* at = sink.Room(indentation.size() + name.qualifier.size() + node.name.size() + 1);
    at = Put(at, indentation);
    *at++ = '<';
    at = Put(at, name.qualifier);
    sink.Advance(Put(at, node.name));
    if (root) root_name_end_ = sink.Written();
    std::string_view scope = default_ns;
    if (!name.prefixed && !InScope(ns, default_ns)) {
      // The scope is the declared one even where the clean-up's rule leaves the declaration out,
      // as it is in the text the clean-up works on.
      if (!DropsDefault(ns, !node.attributes.empty())) {
        sink.Append(" xmlns=\"");
        sink.AppendEscaped(ns, EscapeFor::Attribute);
        sink.Append('"');
      }
      scope = ns;
    }
    for (const auto& attribute : node.attributes) {
      sink.Append(' ');
      if (attribute.ns == kXmlNamespace) {
        sink.Append("xml:");
      } else if (!attribute.ns.empty()) {
        auto found = attribute_prefixes_.find(attribute.ns);
        if (found == attribute_prefixes_.end()) {
          found = attribute_prefixes_.emplace(attribute.ns, AttributePrefix(attribute.ns)).first;
          Declare(attribute.ns, found->second);
        }
        sink.Append(Qualifier(found->second));
      }
      sink.Append(attribute.name);
      sink.Append("=\"");
      sink.AppendEscaped(attribute.value, EscapeFor::Attribute);
      sink.Append('"');
    }
    if (node.children.empty()) {
      if (node.text.empty() && !expand_empty_) {
        sink.Append("/>");
        return;
      }
      // A value element, most of a document, is closed in the same stretch of room.
      at = sink.Room(detail::MaxEscapedSize(node.text.size()) + name.qualifier.size() +
                     node.name.size() + 4);
      *at++ = '>';
      at = Sink::PutEscaped(at, node.text, EscapeFor::Text);
    } else {
      sink.Append('>');
      sink.AppendEscaped(node.text, EscapeFor::Text);
      WriteChildren(node.children, level + 1, scope, sink);
      const std::string_view closing = indentation_ > 0 ? Indentation(level) : std::string_view();
      sink.Append(closing);
      if (root) sink.Append(closing_markup_);
      at = sink.Room(name.qualifier.size() + node.name.size() + 3);
    }
    *at++ = '<';
    *at++ = '/';
    at = Put(at, name.qualifier);
    at = Put(at, node.name);
    *at++ = '>';
    sink.Advance(at);
  }

  // Value elements, most of a document, are written here in one stretch of room; the others
  // take the general path.
  void WriteChildren(const std::vector<std::shared_ptr<BindingNode>>& children, std::size_t level,
                     std::string_view scope, Sink& sink) {
    std::string_view indentation = Indentation(level);
    for (const auto& pointer : children) {
      const BindingNode& child = *pointer;
      if (&child == omitted_) {
        sink.Append(indentation);
        continue;
      }
      if (&child == replaced_) {
        WriteReplaced(child, level, scope, sink);
        indentation = Indentation(level);
        continue;
      }
      const Qualified& name = Qualify(child);
      const bool inScope = name.prefixed || InScope(NamespaceOf(child), scope);
      if (inScope && child.children.empty() && child.attributes.empty() && !child.text.empty()) {
        WriteValueElement(child, name, indentation, sink);
      } else {
        WriteElement(child, level, scope, false, sink);
        // Deeper levels may have lengthened (and so moved) the indentation text.
        indentation = Indentation(level);
      }
    }
  }

  // The replaced element as its own copy holding only the new text: written through the general
  // path, with its name, namespace and attributes as they are.
  void WriteReplaced(const BindingNode& node, std::size_t level, std::string_view scope,
                     Sink& sink) {
    BindingNode replaced = node;
    replaced.children.clear();
    replaced.text = std::string(replaced_text_);
    WriteElement(replaced, level, scope, false, sink);
  }

  // Names, prefixes, indentation and most values are short: copied as blocks when all of them
  // are, the element is written without a branch on any length.
  void WriteValueElement(const BindingNode& node, const Qualified& name,
                         std::string_view indentation, Sink& sink) {
    const std::size_t tag = name.qualifier.size() + node.name.size();
    char* at = sink.Room(indentation.size() + 2 * tag + 5 +
                         detail::MaxEscapedSize(node.text.size()) + kBlock);
    if (indentation.size() <= kBlock && name.qualifier.size() <= kBlock &&
        node.name.size() <= kBlock && node.text.size() <= kBlock && PlainShortText(node.text)) {
      at = PutBlock(at, indent_text_, indentation.size());
      *at++ = '<';
      at = PutBlock(at, name.qualifier, name.qualifier.size());
      at = PutBlock(at, node.name, node.name.size());
      *at++ = '>';
      at = PutBlock(at, node.text, node.text.size());
      *at++ = '<';
      *at++ = '/';
      at = PutBlock(at, name.qualifier, name.qualifier.size());
      at = PutBlock(at, node.name, node.name.size());
      *at++ = '>';
      sink.Advance(at);
      return;
    }
    at = Put(at, indentation);
    *at++ = '<';
    at = Put(at, name.qualifier);
    at = Put(at, node.name);
    *at++ = '>';
    at = Sink::PutEscaped(at, node.text, EscapeFor::Text);
    *at++ = '<';
    *at++ = '/';
    at = Put(at, name.qualifier);
    at = Put(at, node.name);
    *at++ = '>';
    sink.Advance(at);
  }

  const std::map<std::string, std::string>& prefixes_;
  const std::size_t indentation_;
  const std::string_view line_end_;
  const bool expand_empty_;
  const std::string hidden_prefix_;
  const std::string_view dropped_default_;
  const BindingNode* const omitted_;
  const std::string_view closing_markup_;
  const BindingNode* const replaced_;
  const std::string_view replaced_text_;
  std::size_t root_name_end_ = 0;
  std::set<std::string> declared_;
  std::map<std::string, Qualified> qualified_;
  // The namespace of the last element qualified, as it was looked at, and what it gave.
  static constexpr int kNoSchemaNs = -1;
  int last_schema_ns_ = kNoSchemaNs;
  std::string_view last_ns_;
  const Qualified* last_qualified_ = nullptr;
  std::string indent_text_;
  std::vector<std::pair<std::string, std::string>> root_declarations_;
  std::map<std::string, std::string> attribute_prefixes_;
};

}  // namespace

void WriteTree(const BindingNode& root, const std::map<std::string, std::string>& prefixes,
               const TreeLayout& layout, const SubmissionMarkup& markup,
               const std::function<void(std::string_view)>& take) {
  Writer(prefixes, layout.indentation, layout.line_end, layout.expand_empty, markup)
      .WritePieces(root, take);
}

}  // namespace QuarloCliente::detail
