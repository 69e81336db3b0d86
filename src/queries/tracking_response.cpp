#include <limits>
#include <quarlo/consultas.hpp>
#include <quarlo/error.hpp>
#include <quarlo/xml_document.hpp>

#include "core/numbers.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente {

namespace {

// The states are counted in a 16-bit index; a longer history is refused as the overflow it is.
constexpr auto kMaxEstados = static_cast<std::size_t>(std::numeric_limits<Integer>::max());

Long ReadTrackingId(xmlDoc* doc) {
  const xmlNode* tracking = detail::SelectFirstElement(doc, "//Tracking");
  if (tracking == nullptr) throw Error("el seguimiento no contiene el elemento Tracking");
  const detail::XmlCharPtr id(xmlGetProp(tracking, detail::Xc("id")));
  if (!id) throw Error("el elemento Tracking no tiene el atributo id");
  return detail::ReadLong(detail::View(id.get()), "Tracking (atributo id)");
}

// One EstadoTrack, its lookups starting at it so that they cannot reach a neighbouring state.
std::shared_ptr<TrackingEstadoTrack> ReadEstado(const xmlNode* element, std::size_t position) {
  const auto text = [element](std::string_view path) {
    return detail::TextOfFirstIn(element, path);
  };
  auto estado = std::make_shared<TrackingEstadoTrack>();
  estado->codigoField =
      detail::ReadInteger(text("//Codigo"), "Codigo del estado " + std::to_string(position));
  estado->comentarioField = text("//Comentario");
  estado->estadoField = text("//Estado");
  estado->timeStampField = text("//TimeStamp");
  estado->trackIdField = text("//TrackId");
  return estado;
}

}  // namespace

void TrackingResponse::Init(const std::string& xmlString) {
  if (xmlString.empty()) return;
  const XmlDocument document = XmlDocument::Parse(xmlString);
  if (document.IsEmpty()) throw Error("el seguimiento no es un documento XML");
  xmlDoc* doc = detail::XmlDocumentAccess::Doc(document);
  idField = ReadTrackingId(doc);
  const std::vector<xmlNode*> elements = detail::ElementsNamed(doc, "EstadoTrack");
  if (elements.size() > kMaxEstados) {
    throw Error("desbordamiento: el seguimiento tiene " + std::to_string(elements.size()) +
                " estados y el máximo es " + std::to_string(kMaxEstados));
  }
  estados_.clear();
  estados_.reserve(elements.size());
  // Each state is appended as soon as it is read, so that a failure keeps the ones before it.
  for (std::size_t i = 0; i < elements.size(); ++i) {
    estados_.push_back(ReadEstado(elements[i], i + 1));
  }
}

void TrackingResponse::setEstadoTrackArray(
    const std::vector<std::shared_ptr<TrackingEstadoTrack>>& estadoArray) {
  estados_ = estadoArray;
}

std::vector<std::shared_ptr<TrackingEstadoTrack>> TrackingResponse::getEstadoTrackArray() const {
  return estados_;
}

std::shared_ptr<TrackingResponse> ResultadoTrazas::getResumen() {
  resumen_ = std::make_shared<TrackingResponse>();
  resumen_->Init(Datos);
  return resumen_;
}

}  // namespace QuarloCliente
