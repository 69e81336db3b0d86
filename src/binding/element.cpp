#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <quarlo/binding_element.hpp>
#include <quarlo/error.hpp>

#include "binding/node.hpp"
#include "binding/value_check.hpp"
#include "core/base64.hpp"
#include "core/numbers.hpp"

namespace QuarloCliente {

namespace {

using detail::BindingNode;
using NodePtr = std::shared_ptr<BindingNode>;

struct Step {
  std::string_view name;
  std::size_t index;  // 0: no index given, the first occurrence
  bool attribute;
};

// The steps of a parsed path. Every getter and setter parses one, nearly always of a few steps:
// those are kept in place, and only the steps of a longer path beyond them on the heap. The
// places are left unset until a step fills them, as a path rarely uses more than two.
class Path {
 public:
  Path() {}
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Step& operator[](std::size_t i) const {
    return i < kInline ? slots_.steps[i] : more_[i - kInline];
  }
  const Step& back() const { return (*this)[size_ - 1]; }
  void push_back(const Step& step) {
    if (size_ < kInline) {
      std::construct_at(&slots_.steps[size_], step);
    } else {
      more_.push_back(step);
    }
    ++size_;
  }

 private:
  static constexpr std::size_t kInline = 8;
  union Slots {
    Slots() {}
    Step steps[kInline];
  };
  Slots slots_;
  std::vector<Step> more_;
  std::size_t size_ = 0;
};

[[noreturn]] void BadPath(std::string_view path) {
  throw Error("la ruta '" + std::string(path) + "' no es válida");
}

// The position of the first `wanted` character in the text, or its size. Names are a few bytes
// long, shorter than what a call to the library's search costs.
std::size_t FindChar(std::string_view text, char wanted) {
  std::size_t i = 0;
  while (i < text.size() && text[i] != wanted) ++i;
  return i;
}

// The occurrence an index text ("2]" after the bracket) names; throws for anything but 1 to
// 999999999 followed by the closing bracket.
std::size_t StepIndex(std::string_view number, std::string_view path) {
  if (number.size() < 2 || number.back() != ']') BadPath(path);
  const auto digits = number.substr(0, number.size() - 1);
  const auto value = BindingInteger::TryParse(digits);
  if (!value || digits.find_first_not_of("0123456789") != std::string_view::npos ||
      value->Digits() > 9 || value->ToInt64() < 1) {
    BadPath(path);
  }
  return static_cast<std::size_t>(value->ToInt64());
}

// Takes the first step, and the slash after it, off the rest of a path.
Step TakeStep(std::string_view& rest, std::string_view path) {
  Step step{{}, 0, false};
  if (!rest.empty() && rest.front() == '@') {
    step.attribute = true;
    rest.remove_prefix(1);
  }
  const std::size_t length = detail::NameLength(rest);
  if (length == 0) BadPath(path);
  step.name = rest.substr(0, length);
  rest.remove_prefix(length);
  if (!rest.empty() && rest.front() == '[') {
    if (step.attribute) BadPath(path);
    const std::size_t end = FindChar(rest, '/');
    step.index = StepIndex(rest.substr(1, end - 1), path);
    rest.remove_prefix(end);
  }
  if (rest.empty()) return step;
  // Only the last step may name an attribute, and a path does not end in a slash.
  if (rest.front() != '/' || step.attribute || rest.size() == 1) BadPath(path);
  rest.remove_prefix(1);
  return step;
}

Path ParsePath(std::string_view path) {
  Path steps;
  std::string_view rest = path;
  while (!rest.empty()) steps.push_back(TakeStep(rest, path));
  return steps;
}

// Element names are a few bytes long and mostly differ in their length or first byte, which a
// byte loop finds sooner than a call to the library's comparison.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

std::vector<NodePtr> Occurrences(const BindingNode& parent, std::string_view name) {
  std::vector<NodePtr> found;
  for (const auto& child : parent.children) {
    if (SameName(child->name, name)) found.push_back(child);
  }
  return found;
}

std::size_t CountOccurrences(const BindingNode& parent, std::string_view name) {
  return static_cast<std::size_t>(
      std::count_if(parent.children.begin(), parent.children.end(),
                    [&](const auto& child) { return SameName(child->name, name); }));
}

// The parent's own handle of the child the step names, or nullptr: a path is walked without
// taking a reference to every element on the way, which every typed setter would pay for.
const NodePtr* Occurrence(const BindingNode& parent, const Step& step) {
  std::size_t seen = 0;
  const std::size_t wanted = step.index == 0 ? 1 : step.index;
  for (const auto& child : parent.children) {
    if (SameName(child->name, step.name) && ++seen == wanted) return &child;
  }
  return nullptr;
}

std::string StepText(const Step& step) {
  return std::string(step.name) + (step.index == 0 ? "" : "[" + std::to_string(step.index) + "]");
}

// The declaration a new child of the parent takes, after checking that one more fits.
const detail::schema::Particle& DeclarationForNew(const BindingNode& parent,
                                                  std::string_view name) {
  if (parent.complex_type < 0) {
    throw Error(parent.name + " guarda un valor y no admite el elemento " + std::string(name));
  }
  const auto* particle = detail::schema::FindParticle(parent.complex_type, name);
  if (particle == nullptr) {
    throw Error("el esquema no admite el elemento " + std::string(name) + " dentro de " +
                parent.name);
  }
  const auto present = CountOccurrences(parent, name);
  if (present >= static_cast<std::size_t>(particle->max_occurs)) {
    throw Error(particle->max_occurs == 1
                    ? parent.name + " ya contiene el elemento " + std::string(name)
                    : parent.name + " admite como máximo " + std::to_string(particle->max_occurs) +
                          " elementos " + std::string(name));
  }
  if (particle->choice_min >= 0) {
    for (const auto& child : parent.children) {
      if (child->particle != nullptr && child->particle != particle &&
          child->Slot() == particle->slot) {
        throw Error(parent.name + " ya contiene " + child->name + ", que excluye a " +
                    std::string(name));
      }
    }
  }
  return *particle;
}

// The parent's handle of its new child.
const NodePtr& NewChild(const NodePtr& parent, std::string_view name) {
  NodePtr child = parent->untyped ? detail::NewUntypedNode(parent->ns, std::string(name))
                                  : detail::NewSchemaNode(DeclarationForNew(*parent, name));
  return detail::InsertChild(parent, std::move(child));
}

// Undoes, unless committed, the elements a call created: a refused value or a full repeated
// element leaves no trace, not even the parents created on the way.
class CreationGuard {
 public:
  CreationGuard() = default;
  CreationGuard(const CreationGuard&) = delete;
  CreationGuard& operator=(const CreationGuard&) = delete;
  ~CreationGuard() {
    if (!first_ || committed_) return;
    if (auto parent = first_->parent.lock()) detail::RemoveChild(*parent, *first_);
  }
  void Created(const NodePtr& node) {
    if (!first_) first_ = node;
  }
  void Commit() { committed_ = true; }

 private:
  NodePtr first_;
  bool committed_ = false;
};

// The handle of the element the steps reach, created with what is missing on the way. The handle
// is its parent's (or `start`), so reaching an element takes no reference to it; it stays valid
// until the parent's children change.
const NodePtr& WalkCreating(const NodePtr& start, const Path& steps, std::size_t count,
                            CreationGuard& guard) {
  const NodePtr* current = &start;
  for (std::size_t i = 0; i < count; ++i) {
    const Step& step = steps[i];
    if (const NodePtr* existing = Occurrence(**current, step)) {
      current = existing;
      continue;
    }
    const auto present = CountOccurrences(**current, step.name);
    if (step.index > present + 1) {
      throw Error("no se puede crear " + StepText(step) + ": " + (*current)->name + " tiene " +
                  std::to_string(present) + " elementos " + std::string(step.name));
    }
    current = &NewChild(*current, step.name);
    guard.Created(*current);
  }
  return *current;
}

// The handle of the node the element steps reach, as WalkCreating gives it, or the step that is
// missing and its parent.
struct Walk {
  const NodePtr* node = nullptr;
  const BindingNode* parent_of_missing = nullptr;
  const Step* missing = nullptr;
};

Walk WalkExisting(const NodePtr& start, const Path& steps, std::size_t count) {
  const NodePtr* current = &start;
  for (std::size_t i = 0; i < count; ++i) {
    const NodePtr* next = Occurrence(**current, steps[i]);
    if (next == nullptr) return Walk{nullptr, current->get(), &steps[i]};
    current = next;
  }
  return Walk{current};
}

[[noreturn]] void ThrowMissing(const Walk& walk) {
  throw Error("falta el elemento " + StepText(*walk.missing) + " en " +
              walk.parent_of_missing->name);
}

std::size_t ElementSteps(const Path& steps) {
  return !steps.empty() && steps.back().attribute ? steps.size() - 1 : steps.size();
}

void RequireElementPath(const Path& steps, std::string_view path) {
  if (!steps.empty() && steps.back().attribute) {
    throw Error("la ruta '" + std::string(path) + "' señala un atributo, no un elemento");
  }
}

// The element the steps reach and the text value or attribute they select; throws when either is
// missing.
struct Value {
  const BindingNode& element;
  const std::string& text;
};

Value ValueAt(const NodePtr& start, const Path& steps) {
  const Walk walk = WalkExisting(start, steps, ElementSteps(steps));
  if (walk.node == nullptr) ThrowMissing(walk);
  const BindingNode& element = **walk.node;
  if (steps.empty() || !steps.back().attribute) return {element, element.text};
  const std::string* value = element.FindAttribute(steps.back().name);
  if (value == nullptr) {
    throw Error("falta el atributo " + std::string(steps.back().name) + " en " + element.name);
  }
  return {element, *value};
}

void SetTextOn(BindingNode& node, std::string_view text) {
  if (const std::string fault = detail::CheckXmlCharacters(text); !fault.empty()) {
    throw Error("valor de " + node.name + ": " + fault);
  }
  if (!node.TakesText()) throw Error(node.name + " contiene elementos y no guarda un valor");
  if (node.simple_type >= 0) {
    if (const std::string fault = detail::CheckValue(node.simple_type, text); !fault.empty()) {
      throw Error("valor de " + node.name + ": " + fault);
    }
  }
  node.text.assign(text);
}

void SetAttributeOn(BindingNode& node, std::string_view name, std::string_view value) {
  if (!detail::IsNcName(name))
    throw Error("'" + std::string(name) + "' no es un nombre de atributo");
  if (const std::string fault = detail::CheckXmlCharacters(value); !fault.empty()) {
    throw Error("atributo " + std::string(name) + " de " + node.name + ": " + fault);
  }
  if (!node.untyped) {
    const auto* declared =
        node.complex_type >= 0 ? detail::schema::FindAttribute(node.complex_type, name) : nullptr;
    if (declared == nullptr) {
      throw Error(node.name + " no tiene el atributo " + std::string(name) + " en su esquema");
    }
    std::string fault = detail::CheckValue(declared->simple_type, value);
    if (fault.empty() && declared->fixed != nullptr &&
        !detail::SameValue(declared->simple_type, value, declared->fixed)) {
      fault = "debe valer " + std::string(declared->fixed);
    }
    if (!fault.empty()) {
      throw Error("atributo " + std::string(name) + " de " + node.name + ": " + fault);
    }
  }
  detail::PutAttribute(node, name, value);
}

detail::schema::Kind ValueKind(const BindingNode& node) {
  return node.simple_type >= 0 ? detail::schema::Simple(node.simple_type).kind
                               : detail::schema::Kind::kString;
}

// The text a double is written as in the element: shortest round-trip form, whole for an integer
// element, rounded to the fraction digits the element's type allows.
std::string NumberTextFor(const BindingNode& node, double value) {
  if (std::isnan(value)) throw Error("valor de " + node.name + ": NaN no es un número");
  if (std::isinf(value)) throw Error("valor de " + node.name + ": un infinito no es un número");
  const std::string text = detail::ShortestDecimalText(value);
  if (ValueKind(node) == detail::schema::Kind::kInteger) {
    if (text.find('.') != std::string::npos) {
      throw Error("valor de " + node.name + ": es un número entero y no admite " + text);
    }
    return text;
  }
  const int fraction_digits =
      node.simple_type >= 0 ? detail::schema::Simple(node.simple_type).fraction_digits : -1;
  if (ValueKind(node) != detail::schema::Kind::kDecimal || fraction_digits < 0) return text;
  return detail::RoundDecimalText(text, static_cast<std::size_t>(fraction_digits));
}

const char* DateKindName(BindingDateTimeKind kind) {
  switch (kind) {
    case BindingDateTimeKind::XsDate:
      return "una fecha (AAAA-MM-DD)";
    case BindingDateTimeKind::XsDateTime:
      return "una fecha y hora (AAAA-MM-DDTHH:MM:SS)";
    case BindingDateTimeKind::XsGYearMonth:
      return "un mes (AAAA-MM)";
    case BindingDateTimeKind::XsGYear:
      return "un año (AAAA)";
  }
  return "una fecha";
}

std::optional<BindingDateTimeKind> DateKindOf(detail::schema::Kind kind) {
  switch (kind) {
    case detail::schema::Kind::kDate:
      return BindingDateTimeKind::XsDate;
    case detail::schema::Kind::kDateTime:
      return BindingDateTimeKind::XsDateTime;
    case detail::schema::Kind::kYearMonth:
      return BindingDateTimeKind::XsGYearMonth;
    case detail::schema::Kind::kYear:
      return BindingDateTimeKind::XsGYear;
    default:
      return std::nullopt;
  }
}

}  // namespace

BindingElement::BindingElement(std::shared_ptr<detail::BindingNode> node) : node_(std::move(node)) {
  if (!node_) throw Error("un elemento de enlace necesita un nodo");
}

BindingElement::~BindingElement() = default;

const std::string& BindingElement::Name() const {
  return node_->name;
}

const std::string& BindingElement::NamespaceUri() const {
  return node_->ns;
}

bool BindingElement::IsDeclared() const {
  return !node_->untyped;
}

std::shared_ptr<BindingElement> BindingElement::Parent() const {
  auto parent = node_->parent.lock();
  return parent ? std::make_shared<BindingElement>(std::move(parent)) : nullptr;
}

bool BindingElement::SameAs(const BindingElement& other) const {
  return node_ == other.node_;
}

const std::string& BindingElement::Text() const {
  return node_->text;
}

BindingElement& BindingElement::SetText(std::string_view text) {
  SetTextOn(*node_, text);
  return *this;
}

std::optional<std::string> BindingElement::Attribute(std::string_view name) const {
  const std::string* value = node_->FindAttribute(name);
  return value == nullptr ? std::nullopt : std::optional<std::string>(*value);
}

BindingElement& BindingElement::SetAttribute(std::string_view name, std::string_view value) {
  SetAttributeOn(*node_, name, value);
  return *this;
}

bool BindingElement::RemoveAttribute(std::string_view name) {
  auto& attributes = node_->attributes;
  const auto found = std::find_if(attributes.begin(), attributes.end(), [&](const auto& attribute) {
    return attribute.ns.empty() && attribute.name == name;
  });
  if (found == attributes.end()) return false;
  attributes.erase(found);
  return true;
}

bool BindingElement::Has(std::string_view path) const {
  const auto steps = ParsePath(path);
  const Walk walk = WalkExisting(node_, steps, ElementSteps(steps));
  if (walk.node == nullptr) return false;
  return steps.empty() || !steps.back().attribute ||
         (*walk.node)->FindAttribute(steps.back().name) != nullptr;
}

std::shared_ptr<BindingElement> BindingElement::Find(std::string_view path) const {
  auto node = FindNode(path);
  return node ? std::make_shared<BindingElement>(std::move(node)) : nullptr;
}

std::vector<std::shared_ptr<BindingElement>> BindingElement::FindAll(std::string_view path) const {
  return ChildrenAt<BindingElement>(path);
}

std::size_t BindingElement::Count(std::string_view path) const {
  return FindNodes(path).size();
}

std::vector<std::shared_ptr<BindingElement>> BindingElement::Children() const {
  std::vector<std::shared_ptr<BindingElement>> children;
  for (const auto& child : node_->children) {
    children.push_back(std::make_shared<BindingElement>(child));
  }
  return children;
}

std::string BindingElement::Get(std::string_view path) const {
  return ValueAt(node_, ParsePath(path)).text;
}

BindingInteger BindingElement::GetInteger(std::string_view path) const {
  const std::string& text = ValueAt(node_, ParsePath(path)).text;
  auto value = BindingInteger::TryParse(text);
  if (!value) {
    throw Error("el valor de " + std::string(path) + " no es un número entero: '" + text + "'");
  }
  return *value;
}

BindingDecimal BindingElement::GetDecimal(std::string_view path) const {
  const std::string& text = ValueAt(node_, ParsePath(path)).text;
  auto value = BindingDecimal::TryParse(text);
  if (!value) {
    throw Error("el valor de " + std::string(path) + " no es un número decimal: '" + text + "'");
  }
  return *value;
}

BindingDateTime BindingElement::GetDateTime(std::string_view path) const {
  const auto steps = ParsePath(path);
  const auto [element, text] = ValueAt(node_, steps);
  RequireElementPath(steps, path);
  const auto kind = DateKindOf(ValueKind(element));
  try {
    return kind ? BindingDateTime::Parse(text, *kind) : BindingDateTime::Parse(text);
  } catch (const Error& error) {
    throw Error("el valor de " + std::string(path) + " no es válido: " + error.what());
  }
}

Bytes BindingElement::GetBytes(std::string_view path) const {
  const std::string& text = ValueAt(node_, ParsePath(path)).text;
  try {
    return detail::DecodeBase64(text);
  } catch (const Error& error) {
    throw Error("el valor de " + std::string(path) + " no es Base64: " + error.what());
  }
}

std::shared_ptr<BindingElement> BindingElement::Element(std::string_view path) {
  return std::make_shared<BindingElement>(CreateNode(path));
}

std::shared_ptr<BindingElement> BindingElement::Append(std::string_view path) {
  return std::make_shared<BindingElement>(AppendNode(path));
}

BindingElement& BindingElement::Set(std::string_view path, std::string_view text) {
  const auto steps = ParsePath(path);
  CreationGuard guard;
  BindingNode& target = *WalkCreating(node_, steps, ElementSteps(steps), guard);
  if (!steps.empty() && steps.back().attribute) {
    SetAttributeOn(target, steps.back().name, text);
  } else {
    SetTextOn(target, text);
  }
  guard.Commit();
  return *this;
}

BindingElement& BindingElement::Set(std::string_view path, std::int64_t value) {
  return Set(path, BindingInteger(value));
}

BindingElement& BindingElement::Set(std::string_view path, std::uint64_t value) {
  return Set(path, std::string_view(std::to_string(value)));
}

BindingElement& BindingElement::Set(std::string_view path, double value) {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  CreationGuard guard;
  BindingNode& target = *WalkCreating(node_, steps, steps.size(), guard);
  SetTextOn(target, NumberTextFor(target, value));
  guard.Commit();
  return *this;
}

BindingElement& BindingElement::Set(std::string_view path, float value) {
  // Through the float's own shortest text, so that 0.1f is 0.1 and not 0.100000001490116.
  if (!std::isfinite(value)) return Set(path, static_cast<double>(value));
  const std::string text = detail::ShortestDecimalText(value);
  double widened = 0;
  std::from_chars(text.data(), text.data() + text.size(), widened);
  return Set(path, widened);
}

BindingElement& BindingElement::Set(std::string_view path, const BindingInteger& value) {
  return Set(path, std::string_view(value.ToString()));
}

BindingElement& BindingElement::Set(std::string_view path, const BindingDecimal& value) {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  CreationGuard guard;
  BindingNode& target = *WalkCreating(node_, steps, steps.size(), guard);
  if (ValueKind(target) == detail::schema::Kind::kInteger) {
    if (!value.IsInteger()) {
      throw Error("valor de " + target.name + ": es un número entero y no admite " +
                  value.ToString());
    }
    SetTextOn(target, value.ToInteger().ToString());
  } else {
    SetTextOn(target, value.ToString());
  }
  guard.Commit();
  return *this;
}

BindingElement& BindingElement::Set(std::string_view path, const BindingDateTime& value) {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  CreationGuard guard;
  BindingNode& target = *WalkCreating(node_, steps, steps.size(), guard);
  const auto kind = DateKindOf(ValueKind(target));
  if (kind && *kind != value.Kind()) {
    throw Error("valor de " + target.name + ": debe ser " + DateKindName(*kind) + " y " +
                value.ToString() + " es " + DateKindName(value.Kind()));
  }
  SetTextOn(target, value.ToString());
  guard.Commit();
  return *this;
}

BindingElement& BindingElement::SetBase64(std::string_view path, std::string_view base64) {
  std::string normalized;
  try {
    normalized = NormalizeBase64(base64);
  } catch (const Error& error) {
    throw Error("el valor para " + std::string(path) + " no es Base64: " + error.what());
  }
  return Set(path, std::string_view(normalized));
}

BindingElement& BindingElement::SetBytes(std::string_view path, const Bytes& bytes) {
  return Set(path, std::string_view(detail::EncodeBase64(bytes)));
}

bool BindingElement::Remove(std::string_view path) {
  const auto steps = ParsePath(path);
  if (steps.empty()) throw Error("la ruta vacía no señala nada que quitar");
  const Walk walk = WalkExisting(node_, steps, ElementSteps(steps));
  if (walk.node == nullptr) return false;
  // Removing drops the parent's handle, which the walk points at.
  const NodePtr node = *walk.node;
  if (steps.back().attribute) {
    return std::make_shared<BindingElement>(node)->RemoveAttribute(steps.back().name);
  }
  const auto parent = node->parent.lock();
  if (!parent) return false;
  detail::RemoveChild(*parent, *node);
  return true;
}

std::vector<std::string> BindingElement::Problems() const {
  std::vector<std::string> problems;
  detail::CollectProblems(*node_, node_->name, problems);
  return problems;
}

void BindingElement::Validate() const {
  const auto problems = Problems();
  if (!problems.empty()) throw Error(problems.front());
}

std::shared_ptr<detail::BindingNode> BindingElement::RequireNode(std::string_view path) const {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  const Walk walk = WalkExisting(node_, steps, steps.size());
  if (walk.node == nullptr) ThrowMissing(walk);
  return *walk.node;
}

std::shared_ptr<detail::BindingNode> BindingElement::FindNode(std::string_view path) const {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  const Walk walk = WalkExisting(node_, steps, steps.size());
  return walk.node != nullptr ? *walk.node : nullptr;
}

std::vector<std::shared_ptr<detail::BindingNode>> BindingElement::FindNodes(
    std::string_view path) const {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  if (steps.empty()) return {node_};
  const Walk walk = WalkExisting(node_, steps, steps.size() - 1);
  if (walk.node == nullptr) return {};
  if (steps.back().index != 0) {
    const NodePtr* single = Occurrence(**walk.node, steps.back());
    return single != nullptr ? std::vector<NodePtr>{*single} : std::vector<NodePtr>{};
  }
  return Occurrences(**walk.node, steps.back().name);
}

std::shared_ptr<detail::BindingNode> BindingElement::RequireItem(std::string_view path,
                                                                 std::size_t item) const {
  const auto nodes = FindNodes(path);
  if (item < 1 || item > nodes.size()) {
    throw Error("no existe el elemento " + std::string(path) + " número " + std::to_string(item) +
                " en " + node_->name + " (hay " + std::to_string(nodes.size()) + ")");
  }
  return nodes[item - 1];
}

std::shared_ptr<detail::BindingNode> BindingElement::CreateNode(std::string_view path) {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  CreationGuard guard;
  NodePtr node = WalkCreating(node_, steps, steps.size(), guard);
  guard.Commit();
  return node;
}

std::shared_ptr<detail::BindingNode> BindingElement::AppendNode(std::string_view path) {
  const auto steps = ParsePath(path);
  RequireElementPath(steps, path);
  if (steps.empty() || steps.back().index != 0) {
    throw Error("la ruta '" + std::string(path) + "' debe terminar en el nombre que se agrega");
  }
  CreationGuard guard;
  const NodePtr& parent = WalkCreating(node_, steps, steps.size() - 1, guard);
  NodePtr created = NewChild(parent, steps.back().name);
  guard.Commit();
  return created;
}

std::shared_ptr<detail::BindingNode> BindingElement::ReplaceNode(std::string_view name) {
  const auto* particle =
      node_->complex_type >= 0 ? detail::schema::FindParticle(node_->complex_type, name) : nullptr;
  if (particle == nullptr || node_->untyped) {
    throw Error("el esquema no admite el elemento " + std::string(name) + " dentro de " +
                node_->name);
  }
  // The element of that name and the other members of its choice give way to the new one.
  std::vector<NodePtr> leaving;
  for (const auto& child : node_->children) {
    const bool same_choice =
        particle->choice_min >= 0 && child->particle != nullptr && child->Slot() == particle->slot;
    if (SameName(child->name, name) || same_choice) leaving.push_back(child);
  }
  for (const auto& child : leaving) detail::RemoveChild(*node_, *child);
  return detail::InsertChild(node_, detail::NewSchemaNode(*particle));
}

namespace detail {

std::shared_ptr<BindingNode> ElementNodes::Child(const BindingElement& element,
                                                 std::string_view path) {
  return element.RequireNode(path);
}

std::shared_ptr<BindingNode> ElementNodes::OptionalChild(const BindingElement& element,
                                                         std::string_view path) {
  return element.FindNode(path);
}

std::shared_ptr<BindingNode> ElementNodes::EnsureChild(BindingElement& element,
                                                       std::string_view path) {
  return element.CreateNode(path);
}

std::shared_ptr<BindingNode> ElementNodes::ReplaceChild(BindingElement& element,
                                                        std::string_view name) {
  return element.ReplaceNode(name);
}

}  // namespace detail

}  // namespace QuarloCliente
