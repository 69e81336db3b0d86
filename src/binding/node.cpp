#include "binding/node.hpp"

#include <algorithm>

#include "binding/value_check.hpp"

namespace QuarloCliente::detail {

namespace {

// Signatures are produced by whoever signs the document; an empty one would never validate, and
// the library appends its own skeleton where a submission needs one.
bool CreatedWithParent(const schema::Particle& particle) {
  return particle.min_occurs >= 1 && particle.max_occurs == 1 && particle.choice_min < 0 &&
         particle.complex_type >= 0 && particle.name != "Signature";
}

void Populate(const std::shared_ptr<BindingNode>& node) {
  for (const schema::AttributeDecl& attribute : schema::Attributes(node->complex_type)) {
    if (attribute.required && attribute.fixed != nullptr) {
      node->attributes.push_back({"", std::string(attribute.name), attribute.fixed});
    }
  }
  for (const schema::Particle& particle : schema::Particles(node->complex_type)) {
    if (!CreatedWithParent(particle)) continue;
    auto child = NewSchemaNode(particle);
    child->parent = node;
    node->children.push_back(std::move(child));
  }
}

std::string ChoiceMembers(int complex_type, int slot) {
  std::string names;
  for (const schema::Particle& particle : schema::Particles(complex_type)) {
    if (particle.slot != slot) continue;
    if (!names.empty()) names += ", ";
    names += particle.name;
  }
  return names;
}

std::string ElementLabel(const BindingNode& node, const BindingNode& parent) {
  if (node.ns == parent.ns || node.ns.empty()) return node.name;
  return node.name + " (espacio de nombres " + node.ns + ")";
}

}  // namespace

const std::string* BindingNode::FindAttribute(std::string_view attribute) const {
  for (const BindingAttribute& candidate : attributes) {
    if (candidate.ns.empty() && candidate.name == attribute) return &candidate.value;
  }
  return nullptr;
}

std::shared_ptr<BindingNode> NewRootNode(schema::RootKind kind, bool populate) {
  const schema::RootDecl& root = schema::Root(kind);
  auto node = std::make_shared<BindingNode>();
  node->ns = std::string(schema::NamespaceUri(root.ns));
  node->name = std::string(root.element);
  node->complex_type = root.complex_type;
  node->simple_type = schema::kComplexTypes[root.complex_type].content_type;
  if (populate) Populate(node);
  return node;
}

std::shared_ptr<BindingNode> NewSchemaNode(const schema::Particle& particle, bool populate) {
  auto node = std::make_shared<BindingNode>();
  node->ns = std::string(schema::NamespaceUri(particle.ns));
  node->name = std::string(particle.name);
  node->particle = &particle;
  node->particle_ns = particle.ns;
  node->complex_type = particle.complex_type;
  if (particle.complex_type >= 0) {
    node->simple_type = schema::kComplexTypes[particle.complex_type].content_type;
    if (populate) Populate(node);
  } else {
    node->simple_type = particle.simple_type;
  }
  return node;
}

std::shared_ptr<BindingNode> NewUntypedNode(std::string ns, std::string name) {
  auto node = std::make_shared<BindingNode>();
  node->ns = std::move(ns);
  node->name = std::move(name);
  node->untyped = true;
  return node;
}

const std::shared_ptr<BindingNode>& InsertChild(const std::shared_ptr<BindingNode>& parent,
                                                std::shared_ptr<BindingNode> child) {
  child->parent = parent;
  auto& children = parent->children;
  if (parent->untyped || child->particle == nullptr) return children.emplace_back(std::move(child));
  const int slot = child->Slot();
  std::size_t position = 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (children[i]->particle != nullptr && children[i]->Slot() <= slot) position = i + 1;
  }
  return *children.insert(children.begin() + static_cast<std::ptrdiff_t>(position),
                          std::move(child));
}

void RemoveChild(BindingNode& parent, const BindingNode& child) {
  auto& children = parent.children;
  const auto found = std::find_if(children.begin(), children.end(),
                                  [&](const auto& candidate) { return candidate.get() == &child; });
  if (found == children.end()) return;
  (*found)->parent.reset();
  children.erase(found);
}

void PutAttribute(BindingNode& node, std::string_view name, std::string_view value) {
  for (BindingAttribute& existing : node.attributes) {
    if (existing.ns.empty() && existing.name == name) {
      existing.value.assign(value);
      return;
    }
  }
  if (node.untyped || node.complex_type < 0) {
    node.attributes.push_back({"", std::string(name), std::string(value)});
    return;
  }
  const auto declared = schema::Attributes(node.complex_type);
  const auto rank = [&](const BindingAttribute& candidate) {
    for (std::size_t i = 0; i < declared.size(); ++i) {
      if (candidate.ns.empty() && declared[i].name == candidate.name) return i;
    }
    return declared.size();
  };
  BindingAttribute attribute{"", std::string(name), std::string(value)};
  const std::size_t own = rank(attribute);
  auto position = std::find_if(node.attributes.begin(), node.attributes.end(),
                               [&](const BindingAttribute& other) { return rank(other) > own; });
  node.attributes.insert(position, std::move(attribute));
}

std::vector<ContentProblem> CheckContent(const BindingNode& node, bool include_missing) {
  std::vector<ContentProblem> problems;
  if (node.untyped || node.complex_type < 0) return problems;
  const auto particles = schema::Particles(node.complex_type);
  std::vector<int> counts(particles.size(), 0);
  int current_slot = -1;
  std::string_view current_name;
  for (const auto& child : node.children) {
    const schema::Particle* particle = child->particle;
    const bool declared = particle != nullptr && particle >= particles.data() &&
                          particle < particles.data() + particles.size();
    if (!declared) {
      problems.push_back({ContentIssue::kUnknown,
                          node.name + " no admite el elemento " + ElementLabel(*child, node)});
      continue;
    }
    const auto index = static_cast<std::size_t>(particle - particles.data());
    if (particle->slot < current_slot) {
      problems.push_back({ContentIssue::kOutOfOrder,
                          "el elemento " + child->name + " está fuera del orden del esquema en " +
                              node.name + ": debe ir antes de " + std::string(current_name)});
    } else {
      current_slot = particle->slot;
      current_name = particle->name;
    }
    ++counts[index];
    if (counts[index] > particle->max_occurs) {
      problems.push_back({ContentIssue::kTooMany, node.name + " admite como máximo " +
                                                      std::to_string(particle->max_occurs) +
                                                      " elementos " + child->name});
    } else if (particle->choice_min >= 0) {
      for (std::size_t other = 0; other < particles.size(); ++other) {
        if (other != index && particles[other].slot == particle->slot && counts[other] > 0) {
          problems.push_back(
              {ContentIssue::kTooMany, node.name + " admite solo uno de " +
                                           ChoiceMembers(node.complex_type, particle->slot)});
          break;
        }
      }
    }
  }
  if (!include_missing) return problems;
  for (std::size_t index = 0; index < particles.size(); ++index) {
    const schema::Particle& particle = particles[index];
    if (particle.choice_min < 0) {
      // The signer adds the signature; its absence is not a fault of the document's content.
      if (counts[index] < particle.min_occurs && particle.name != "Signature") {
        problems.push_back(
            {ContentIssue::kMissing,
             counts[index] == 0
                 ? "falta el elemento " + std::string(particle.name) + " en " + node.name
                 : node.name + " necesita al menos " + std::to_string(particle.min_occurs) +
                       " elementos " + std::string(particle.name)});
      }
      continue;
    }
    const bool first_member = index == 0 || particles[index - 1].slot != particle.slot;
    if (!first_member || particle.choice_min == 0) continue;
    int present = 0;
    for (std::size_t other = index; other < particles.size(); ++other) {
      if (particles[other].slot == particle.slot) present += counts[other];
    }
    if (present == 0) {
      problems.push_back(
          {ContentIssue::kMissing,
           "falta uno de " + ChoiceMembers(node.complex_type, particle.slot) + " en " + node.name});
    }
  }
  return problems;
}

std::vector<ValueProblem> CheckAttributesAndValue(const BindingNode& node, bool include_missing) {
  std::vector<ValueProblem> problems;
  if (node.untyped) return problems;
  for (const BindingAttribute& attribute : node.attributes) {
    if (attribute.ns == kXsiNamespace) continue;
    const schema::AttributeDecl* declared =
        attribute.ns.empty() && node.complex_type >= 0
            ? schema::FindAttribute(node.complex_type, attribute.name)
            : nullptr;
    if (declared == nullptr) {
      problems.push_back({true, node.name + " no admite el atributo " + attribute.name});
      continue;
    }
    std::string fault = CheckValue(declared->simple_type, attribute.value);
    if (fault.empty() && declared->fixed != nullptr &&
        !SameValue(declared->simple_type, attribute.value, declared->fixed)) {
      fault = "debe valer " + std::string(declared->fixed);
    }
    if (!fault.empty()) {
      problems.push_back({false, "atributo " + attribute.name + " de " + node.name + ": " + fault});
    }
  }
  if (include_missing && node.complex_type >= 0) {
    for (const schema::AttributeDecl& declared : schema::Attributes(node.complex_type)) {
      if (declared.required && node.FindAttribute(declared.name) == nullptr) {
        problems.push_back(
            {false, "falta el atributo " + std::string(declared.name) + " de " + node.name});
      }
    }
  }
  if (node.simple_type >= 0) {
    const std::string fault = CheckValue(node.simple_type, node.text);
    if (!fault.empty()) problems.push_back({false, "valor de " + node.name + ": " + fault});
  }
  return problems;
}

void CollectProblems(const BindingNode& node, const std::string& path,
                     std::vector<std::string>& problems) {
  if (node.untyped) return;
  for (const ValueProblem& problem : CheckAttributesAndValue(node, true)) {
    problems.push_back(path + ": " + problem.message);
  }
  for (const ContentProblem& problem : CheckContent(node, true)) {
    problems.push_back(path + ": " + problem.message);
  }
  for (const auto& child : node.children) {
    std::string child_path = path + "/" + child->name;
    if (child->particle != nullptr && child->particle->max_occurs > 1) {
      std::size_t occurrence = 0;
      for (const auto& sibling : node.children) {
        if (sibling->name == child->name) ++occurrence;
        if (sibling == child) break;
      }
      child_path += "[" + std::to_string(occurrence) + "]";
    }
    CollectProblems(*child, child_path, problems);
  }
}

}  // namespace QuarloCliente::detail
