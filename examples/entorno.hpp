// The service an example talks to, from QUARLO_URI and QUARLO_API_KEY.
#pragma once
#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>

// Configures servicio from the environment; false, after saying in Spanish which variable is
// missing, when one is not set. The examples then end with exit status 2.
inline bool ConfigurarDesdeEntorno(QuarloCliente::Servicio& servicio) {
  const char* uri = std::getenv("QUARLO_URI");
  const char* llave = std::getenv("QUARLO_API_KEY");
  for (const auto& [nombre, valor] : {std::pair{"QUARLO_URI", uri}, {"QUARLO_API_KEY", llave}}) {
    if (valor == nullptr || *valor == '\0') {
      std::cerr << "Falta la variable de entorno " << nombre
                << ": la dirección del servicio y su llave de API\n";
      return false;
    }
  }
  servicio.Configurar(uri, llave);
  return true;
}
