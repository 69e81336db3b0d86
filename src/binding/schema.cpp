#include "binding/schema.hpp"

namespace QuarloCliente::detail::schema {

const RootDecl& Root(RootKind kind) {
  for (const RootDecl& root : kRoots) {
    if (root.kind == kind) return root;
  }
  // Every RootKind has a row; reaching here means the table and the enum went apart.
  return kRoots[0];
}

const Particle* FindParticle(int complex_type, std::string_view name) {
  for (const Particle& particle : Particles(complex_type)) {
    if (particle.name == name) return &particle;
  }
  return nullptr;
}

const Particle* FindParticle(int complex_type, std::string_view namespace_uri,
                             std::string_view name) {
  const Particle* particle = FindParticle(complex_type, name);
  return particle != nullptr && NamespaceUri(particle->ns) == namespace_uri ? particle : nullptr;
}

const AttributeDecl* FindAttribute(int complex_type, std::string_view name) {
  for (const AttributeDecl& attribute : Attributes(complex_type)) {
    if (attribute.name == name) return &attribute;
  }
  return nullptr;
}

}  // namespace QuarloCliente::detail::schema
