#pragma once

#include <memory>
#include <quarlo/servicio.hpp>
#include <string>

#include "core/transport.hpp"

namespace QuarloCliente {

// What a Servicio holds behind its interface: the service's base URI and API key as Configurar
// stored them, the limits of its exchanges, and its connection, made on the first exchange.
struct Servicio::Estado {
  std::string apiUri;
  std::string apiLlave;
  LimitesTransporte limites;
  std::unique_ptr<detail::Transport> transport;
};

namespace detail {

// The one door to a Servicio's configuration and transport for the library's own code and
// tests; operations in every area exchange with the service through it. An instance moved from
// holds no state and reads as a new one; configuring it or exchanging through it gives it one.
struct ServicioAccess {
  // The instance's state to change, made anew for an instance moved from.
  static Servicio::Estado& Write(Servicio& s);
  // The instance's state to read; an instance moved from reads as a new one.
  static const Servicio::Estado& Read(const Servicio& s);

  // The base URI and API key as Configurar stored them.
  static const std::string& ApiUri(const Servicio& s) { return Read(s).apiUri; }
  static const std::string& ApiLlave(const Servicio& s) { return Read(s).apiLlave; }
  // A new instance with the same service, key and limits, and a connection of its own.
  static Servicio Twin(const Servicio& s);

  // One GET or POST, with the answer's status and content type kept beside its XML text. The
  // API key, and `alsoSecret` when the request carries one (the SII password of a
  // reconciliation), are kept out of every description of the exchange.
  static HttpAnswer Get(Servicio& s, const std::string& url, const std::string& alsoSecret = {});
  static HttpAnswer Post(Servicio& s, const std::string& url, const std::string& body);
};

}  // namespace detail
}  // namespace QuarloCliente
