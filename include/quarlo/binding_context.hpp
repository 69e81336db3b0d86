#pragma once

#include <quarlo/export.hpp>

// The context through which binding documents are loaded and serialised: a namespace-to-prefix
// map for writing and five switches that make loading lenient. DefaultBindingContext is the
// caller's own context for its loading and writing; the library's submissions and retrievals use
// contexts of their own and never change it. Every member of BindingContext is safe to call from
// any thread.

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace QuarloCliente {

/// The five switches of a context. All off, the default, is strict loading: a document must follow
/// its SII schema in element names, order and occurrences, attributes and values.
enum class BindingOption {
  /// An element the schema does not declare at its place (and any content below it) is kept as an
  /// untyped element and written back as read, instead of refusing the document; stray text
  /// between elements is dropped instead of refused.
  AllowUnknownElements,
  /// Declared elements may come in any order and more often than the schema allows; they are kept
  /// in the order read. Elements created later still go to their schema place.
  AllowOutOfOrderElements,
  /// Leading and trailing whitespace (space, tab, CR, LF) is removed from every element and
  /// attribute value read, also from text values whose type keeps whitespace.
  TrimValueWhitespace,
  /// A value that does not fit its type (a TipoDTE code the form does not accept, "12a" as a
  /// folio, a bad date) is kept as written instead of refusing the document; the error is raised
  /// when a typed getter reads it, and Validate reports it.
  DeferValueValidation,
  /// An attribute the schema does not declare is kept and written back instead of refusing the
  /// document. Attributes of the XML Schema instance namespace (xsi:schemaLocation) are always
  /// accepted.
  AllowUnknownAttributes,
};

/// A copy of the five switches, taken at one moment.
struct QUARLO_API BindingOptions {
  bool AllowUnknownElements = false;
  bool AllowOutOfOrderElements = false;
  bool TrimValueWhitespace = false;
  bool DeferValueValidation = false;
  bool AllowUnknownAttributes = false;

  /// The value of one switch.
  bool Get(BindingOption option) const;
  /// Sets one switch.
  void Set(BindingOption option, bool on);
};

/// The second int option of Serialize: how lines end.
inline constexpr int kBindingLineEndLf = 0;    // "\n"
inline constexpr int kBindingLineEndCrLf = 1;  // "\r\n"

/// Flags of the third int option of Serialize; 0 is none.
inline constexpr int kBindingExpandEmpty = 1;  // an empty element as <a></a> rather than <a/>
inline constexpr int kBindingBanner = 2;       // the library's banner comment opens the document

/// A namespace-to-prefix map and the loading switches. Not copyable; shared through
/// std::shared_ptr. Registration, option changes and the snapshots that loading and serialising
/// take are synchronised, so one context can serve many threads at once.
class QUARLO_API BindingContext {
 public:
  /// A context with an empty map (every namespace written as a default namespace) and strict
  /// loading.
  BindingContext();
  ~BindingContext();
  BindingContext(const BindingContext&) = delete;
  BindingContext& operator=(const BindingContext&) = delete;

  /// Writes the elements of the namespace with the prefix from now on, replacing the namespace's
  /// earlier prefix; an empty prefix removes the registration. Throws Error for an empty URI, a
  /// prefix that is not an XML name without colon, a prefix starting with "xml", or a prefix
  /// already registered for another namespace.
  void RegisterNamespace(std::string_view namespaceUri, std::string_view prefix);
  /// Removes the namespace's prefix, if any; its elements go back to a default namespace.
  void UnregisterNamespace(std::string_view namespaceUri);
  /// Removes every registration.
  void ClearNamespaces();
  /// The prefix registered for the namespace, or "" when none is.
  std::string Prefix(std::string_view namespaceUri) const;
  /// A consistent copy of the whole map, namespace URI to prefix.
  std::map<std::string, std::string> Namespaces() const;

  /// Turns one loading switch on or off.
  void SetOption(BindingOption option, bool on);
  /// Turns all five loading switches on or off at once.
  void SetAllOptions(bool on);
  /// The state of one loading switch.
  bool Option(BindingOption option) const;
  /// A consistent copy of the five switches.
  BindingOptions Options() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// The caller's process-wide context for its own Load and ToXml calls, created on first use and
/// never destroyed before exit; never null. Only the caller changes it, and its changes stay for
/// the life of the process; the library never registers a prefix or sets a switch on it, and what
/// the library submits does not depend on it.
QUARLO_API std::shared_ptr<BindingContext> DefaultBindingContext();

}  // namespace QuarloCliente
