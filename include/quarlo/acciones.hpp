#pragma once

#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/types.hpp>
#include <quarlo/xml_document.hpp>
#include <string>
#include <vector>

namespace QuarloCliente {

/// The data of one cession (AEC) for GenerarAec.
class QUARLO_API GeneraAECRequest {
 public:
  std::string ambiente;
  std::string rut;
  Integer tipo = 0;
  Long folio = 0;
  std::string FactoringRut;
  std::string AecPrevioEnBase64;
  std::string UltimoVencimiento;
  Long FactoringEnterpriseID = 0;
  std::string DireccionCedente;
  std::string EmailCedente;
};

/// One factoring company of the service's registry.
class QUARLO_API Fact {
 public:
  Long IDFactoring = 0;
  std::string Direccion;
  std::string CorreoContacto;
  std::string NombreFantasia;
  std::string rut;
  std::string RazonSocial;
};

/// An ordered collection of factoring companies.
using ColeccionFactorings = std::vector<std::shared_ptr<Fact>>;

/// The factoring registry as the service lists it.
class QUARLO_API ResultObtenerFactorings {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  /// The companies, in the service's order; nullptr until SetData runs.
  std::shared_ptr<ColeccionFactorings> Factorings;
  Long TiempoBusqueda = 0;
  /// 32-bit: a total above 32767 must not turn a listing into a failure.
  Long TotalFactorings = 0;

  /// Replaces Factorings with one Fact per document element of xml and sets the total and time;
  /// a failure is recorded in ResultadoServicio, keeping the companies read before it.
  void SetData(const std::string& xml, Long totalDoc, Long tiempoBusq);
  /// The text of the first element nodeName selects in xml, or "" when nothing is selected.
  std::string NodeValue(const XmlDocument& xml, const std::string& nodeName) const;
};

}  // namespace QuarloCliente
