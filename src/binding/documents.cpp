#include <quarlo/binding_dte.hpp>
#include <quarlo/binding_libros.hpp>

namespace QuarloCliente {

Personalizados::Personalizados() : BindingDocument(detail::BindingRootKind::Personalizados) {}

DteDocumentBinding::DteDocumentBinding() : BindingDocument(detail::BindingRootKind::Dte) {}

BindingDecimal DteDocumentBinding::Version() const {
  return BindingDecimal(Get("@version"));
}

DteDocumentBinding& DteDocumentBinding::SetVersion(const BindingDecimal& version) {
  SetAttribute("version", version.ToString());
  return *this;
}

std::shared_ptr<DocumentoDte> DteDocumentBinding::Documento() const {
  return OptionalChild<DocumentoDte>("Documento");
}

std::shared_ptr<LiquidacionDte> DteDocumentBinding::Liquidacion() const {
  return OptionalChild<LiquidacionDte>("Liquidacion");
}

std::shared_ptr<ExportacionesDte> DteDocumentBinding::Exportaciones() const {
  return OptionalChild<ExportacionesDte>("Exportaciones");
}

std::shared_ptr<DocumentoDte> DteDocumentBinding::CrearDocumento() {
  return ReplaceChild<DocumentoDte>("Documento");
}

std::shared_ptr<LiquidacionDte> DteDocumentBinding::CrearLiquidacion() {
  return ReplaceChild<LiquidacionDte>("Liquidacion");
}

std::shared_ptr<ExportacionesDte> DteDocumentBinding::CrearExportaciones() {
  return ReplaceChild<ExportacionesDte>("Exportaciones");
}

BoletaDocumentBinding::BoletaDocumentBinding() : BindingDocument(detail::BindingRootKind::Boleta) {}

BindingDecimal BoletaDocumentBinding::Version() const {
  return BindingDecimal(Get("@version"));
}

BoletaDocumentBinding& BoletaDocumentBinding::SetVersion(const BindingDecimal& version) {
  SetAttribute("version", version.ToString());
  return *this;
}

std::shared_ptr<DocumentoBoleta> BoletaDocumentBinding::Documento() const {
  return Child<DocumentoBoleta>("Documento");
}

ConsumoFoliosBinding::ConsumoFoliosBinding()
    : BindingDocument(detail::BindingRootKind::ConsumoFolios) {}

LibroCompraVentaBinding::LibroCompraVentaBinding()
    : BindingDocument(detail::BindingRootKind::LibroCompraVenta) {}

LibroGuiaBinding::LibroGuiaBinding() : BindingDocument(detail::BindingRootKind::LibroGuia) {}

LibroBoletaBinding::LibroBoletaBinding() : BindingDocument(detail::BindingRootKind::LibroBoleta) {}

}  // namespace QuarloCliente
