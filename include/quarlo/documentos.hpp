#pragma once

#include <memory>
#include <quarlo/binding.hpp>
#include <quarlo/export.hpp>
#include <quarlo/resultados.hpp>
#include <string>

namespace QuarloCliente {

/// The holder of one retrieved document; a plain ResultadoDocBase holds none.
class QUARLO_API ResultadoDocBase {
 public:
  virtual ~ResultadoDocBase() = default;
  /// "" for the empty holder, "DTE" for a ResultadoDocDTE, "BOLETA" for a ResultadoDocBoleta.
  virtual std::string GetTipo() const { return ""; }
};

/// A retrieved DTE, loaded into its binding.
class QUARLO_API ResultadoDocDTE : public ResultadoDocBase {
 public:
  std::shared_ptr<DteDocumentBinding> Documento = std::make_shared<DteDocumentBinding>();
  /// "DTE".
  std::string GetTipo() const override { return "DTE"; }
};

/// A retrieved boleta, loaded into its binding.
class QUARLO_API ResultadoDocBoleta : public ResultadoDocBase {
 public:
  std::shared_ptr<BoletaDocumentBinding> Documento = std::make_shared<BoletaDocumentBinding>();
  /// "BOLETA".
  std::string GetTipo() const override { return "BOLETA"; }
};

/// The answer to RecuperarDocumento: Data holds the document (check Data->GetTipo()).
class QUARLO_API ResultadoRecuperarDoc {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::shared_ptr<ResultadoDocBase> Data = std::make_shared<ResultadoDocBase>();
};

}  // namespace QuarloCliente
