// What happens to stamped facturas through the library: commercial answers and their
// acknowledgements, the factoring registry and cessions, voids and deletion.

#include <algorithm>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

const std::string kFactoring = "76111111-6";
const std::string kOtroFactoring = "96543210-8";

class Acciones : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    SubirCaf(kEmisor, 33, 1, 20);
    ASSERT_EQ(EmitirFactura(), "1");
    ASSERT_EQ(EmitirFactura(), "2");
  }

  std::shared_ptr<ResultadoServicio> Responder(const std::string& folio, const std::string& tipo,
                                               const std::string& accion) {
    return servicio_.EnviarRespuestaComercialAccion(
        kAmbiente, kEmisor, "33", folio, "Ignacio Peña Ibáñez", "+56 2 2345 6789",
        "dte@lospenascos.cl", "Bodega Peñalolén", tipo, accion);
  }

  std::shared_ptr<Fact> Empresa(const std::string& rut, const std::string& razonSocial) {
    auto fact = std::make_shared<Fact>();
    fact->rut = rut;
    fact->RazonSocial = razonSocial;
    fact->NombreFantasia = "Ñandú";
    fact->CorreoContacto = "cesiones@nandu.cl";
    fact->Direccion = "Av. Apoquindo 3000, Las Condes";
    return fact;
  }

  std::shared_ptr<ColeccionFactorings> Registro() {
    const auto listado = servicio_.ObtenerFactorings();
    Require(listado->ResultadoServicio, "ObtenerFactorings");
    EXPECT_EQ(listado->TotalFactorings, static_cast<Long>(listado->Factorings->size()));
    return listado->Factorings;
  }
};

TEST_F(Acciones, CommercialAnswersAreRecordedUntilTheDocumentIsClosedAndAcknowledged) {
  const auto pendiente =
      servicio_.EstadoComercialDocumento(kAmbiente, "R", kEmisor, "33", "1", false);
  Require(pendiente->ResultadoServicio, "EstadoComercialDocumento");
  EXPECT_EQ(pendiente->CodigoEstadoComercial, "PEN");
  const auto sinAcuses = servicio_.RecuperarListadoAcusesRecibo(kAmbiente, "R", kEmisor, "33", "1");
  EXPECT_NE(sinAcuses->ResultadoRecuperarXML->ResultadoServicio->Descripcion.find(
                "no tiene acuses de recibo"),
            std::string::npos);

  Require(servicio_.EnviarRespuestaComercial(kAmbiente, kEmisor, "33", "1", "Ignacio Peña Ibáñez",
                                             "+56 2 2345 6789", "dte@lospenascos.cl",
                                             "Bodega Peñalolén",
                                             servicio_.TipoRespuestaComercial_Aceptacion),
          "recibo de mercaderías");
  Require(Responder("1", servicio_.TipoRespuestaComercial_Aceptacion,
                    servicio_.TipoAccionRespuestaComercial_AceptaContenido),
          "aceptación");
  const auto cerrada = Responder("1", servicio_.TipoRespuestaComercial_Rechazo,
                                 servicio_.TipoAccionRespuestaComercial_Reclamocontenido);
  EXPECT_EQ(cerrada->Estado, "1");
  EXPECT_NE(cerrada->Descripcion.find("ACD"), std::string::npos) << cerrada->Descripcion;

  const auto aceptada =
      servicio_.EstadoComercialDocumento(kAmbiente, "R", kEmisor, "33", "1", true);
  Require(aceptada->ResultadoServicio, "EstadoComercialDocumento");
  EXPECT_EQ(aceptada->CodigoEstadoComercial, "ACD");
  EXPECT_EQ(aceptada->Estado, "ACEPTADO");
  EXPECT_EQ(aceptada->NombreContacto, "Ignacio Peña Ibáñez");
  EXPECT_EQ(aceptada->observaciones, "Bodega Peñalolén");
  EXPECT_TRUE(aceptada->ClaimAction.empty());
  EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(aceptada->ACKXml),
                                "/RespuestaDTE/Resultado/ResultadoDTE/EstadoDTE"),
            "0");

  const auto acuses = servicio_.RecuperarListadoAcusesRecibo(kAmbiente, "R", kEmisor, "33", "1");
  Require(acuses->ResultadoRecuperarXML->ResultadoServicio, "RecuperarListadoAcusesRecibo");
  ASSERT_TRUE(acuses->AcusesRecibo);
  ASSERT_EQ(acuses->AcusesRecibo->size(), 2U);
  const XmlDocument recibo = XmlDocument::Parse(acuses->AcusesRecibo->at(0));
  EXPECT_EQ(servicio_.NodeValue(recibo, "/Recibo/DocumentoRecibo/Folio"), "1");
  EXPECT_EQ(servicio_.NodeValue(recibo, "/Recibo/DocumentoRecibo/Recinto"), "Bodega Peñalolén");
  EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(acuses->AcusesRecibo->at(1)),
                                "/RespuestaDTE/Resultado/Caratula/NmbContacto"),
            "Ignacio Peña Ibáñez");

  // A total-lack claim on the other factura, which then cannot be ceded.
  Require(
      servicio_.EnviarRespuestaComercial(kAmbiente, kEmisor, "33", "2", "Ignacio Peña", "", "",
                                         "No llegó nada", servicio_.TipoRespuestaComercial_Rechazo),
      "reclamo");
  EXPECT_EQ(
      servicio_.EstadoComercialDocumento(kAmbiente, "R", kEmisor, "33", "2", false)->ClaimAction,
      "RFT");
  auto cesion = std::make_shared<GeneraAECRequest>();
  cesion->ambiente = kAmbiente;
  cesion->rut = kEmisor;
  cesion->tipo = 33;
  cesion->folio = 2;
  cesion->FactoringRut = kFactoring;
  const auto rechazada = servicio_.GenerarAec(cesion);
  EXPECT_EQ(rechazada->Estado, "1");
  EXPECT_NE(rechazada->Descripcion.find("RFT"), std::string::npos) << rechazada->Descripcion;
}

TEST_F(Acciones, TheFactoringRegistryFeedsACessionThatReconciliationFinds) {
  Require(servicio_.UpsertFactoring(Empresa(kFactoring, "Factoring Ñandú S.A.")), "Upsert");
  Require(servicio_.UpsertFactoring(Empresa(kOtroFactoring, "Capital Sur SpA")), "Upsert");
  Require(servicio_.UpsertFactoring(Empresa(kFactoring, "Factoring Ñandú y Cía. S.A.")),
          "Upsert por el mismo RUT");
  auto registro = Registro();
  ASSERT_EQ(registro->size(), 2U);
  const auto empresa = *std::find_if(registro->begin(), registro->end(),
                                     [](const auto& fact) { return fact->rut == kFactoring; });
  EXPECT_EQ(empresa->RazonSocial, "Factoring Ñandú y Cía. S.A.");
  EXPECT_EQ(empresa->NombreFantasia, "Ñandú");
  EXPECT_GT(empresa->IDFactoring, 0);

  Require(servicio_.DeleteFactoring(Variant(kOtroFactoring)), "DeleteFactoring");
  EXPECT_EQ(servicio_.DeleteFactoring(Variant(kOtroFactoring))->Estado, "1");
  registro = Registro();
  ASSERT_EQ(registro->size(), 1U);
  EXPECT_EQ(registro->front()->rut, kFactoring);

  auto cesion = std::make_shared<GeneraAECRequest>();
  cesion->ambiente = kAmbiente;
  cesion->rut = kEmisor;
  cesion->tipo = 33;
  cesion->folio = 1;
  cesion->FactoringEnterpriseID = empresa->IDFactoring;
  cesion->UltimoVencimiento = Hoy();
  cesion->EmailCedente = "cobranzas@comercializadoranunoa.cl";
  Require(servicio_.GenerarAec(cesion), "GenerarAec");

  // The cession seen from each side: assignee, assignor and debtor.
  for (const auto& [rut, rol] : {std::pair{kFactoring, servicio_.TipoConsultaCesion_Cesionario},
                                 std::pair{kEmisor, servicio_.TipoConsultaCesion_Cedente},
                                 std::pair{kReceptor, servicio_.TipoConsultaCesion_Deudor}}) {
    const auto cesiones =
        servicio_.ConciliarCesiones(kAmbiente, rut, Hoy(), Hoy(), rol, "clave-sii-Ñ");
    Require(cesiones->ResultadoServicio, "ConciliarCesiones " + rol);
    ASSERT_EQ(cesiones->TotalDocumentos, 1) << rol;
    const auto& registroCesion =
        std::get<std::shared_ptr<ResumenCesion>>(cesiones->getDocumentos()->at(0));
    EXPECT_EQ(registroCesion->folio, "1");
    EXPECT_EQ(registroCesion->RUTCedente, kEmisor);
    EXPECT_EQ(registroCesion->RUTCesionario, kFactoring);
    EXPECT_EQ(registroCesion->RazonSocialCesionario, "Factoring Ñandú y Cía. S.A.");
    EXPECT_EQ(registroCesion->RUTDeudor, kReceptor);
    EXPECT_EQ(registroCesion->MntCesion, "1448706");
  }
  EXPECT_EQ(servicio_
                .ConciliarCesiones(kAmbiente, kEmisor, Hoy(), Hoy(),
                                   servicio_.TipoConsultaCesion_Deudor, "clave")
                ->TotalDocumentos,
            0)
      << "the issuer is not the debtor";

  const auto cedidas = servicio_.BuscarDocumentos(kAmbiente, "E", "cedido:si", 1, 10);
  Require(cedidas->ResultadoServicio, "BuscarDocumentos cedido:si");
  ASSERT_EQ(cedidas->TotalDocumentos, 1);
  EXPECT_EQ(std::get<std::shared_ptr<ResumenDTE>>(cedidas->getDocumentos()->at(0))->folio, 1);
}

TEST_F(Acciones, AVoidShowsInTheStatusUntilLiftedAndDeletionIsFinal) {
  const auto anulado = servicio_.AnularDocumento(kAmbiente, kEmisor, "33", "2", "Monto errado");
  EXPECT_EQ(anulado->Estado, "ANULADO") << anulado->Descripcion;
  const auto estado = servicio_.EstadoFiscal(kAmbiente, "E", kEmisor, "33", "2");
  EXPECT_EQ(estado->Estado, "ANULADO");
  EXPECT_NE(estado->Comentarios.find("anulado"), std::string::npos) << estado->Comentarios;
  const auto anulados = servicio_.BuscarDocumentos(kAmbiente, "E", "estado:anulado", 1, 10);
  ASSERT_EQ(anulados->TotalDocumentos, 1);
  const auto& resumen = std::get<std::shared_ptr<ResumenDTE>>(anulados->getDocumentos()->at(0));
  EXPECT_EQ(resumen->folio, 2);
  EXPECT_EQ(resumen->Anulado, "1");
  EXPECT_EQ(servicio_.AnularDocumento(kAmbiente, kEmisor, "33", "2", "otra vez")->Estado, "1");
  EXPECT_EQ(Responder("2", "A", "0")->Estado, "1") << "a voided document takes no answer";

  const auto vigente = servicio_.DesanularDocumento(kAmbiente, kEmisor, "33", "2", "Era correcto");
  EXPECT_NE(vigente->Estado, "ANULADO");
  EXPECT_NE(vigente->Estado, "1") << vigente->Descripcion;
  EXPECT_NE(servicio_.EstadoFiscal(kAmbiente, "E", kEmisor, "33", "2")->Estado, "ANULADO");
  EXPECT_EQ(servicio_.BuscarDocumentos(kAmbiente, "E", "estado:anulado", 1, 10)->TotalDocumentos,
            0);

  Require(servicio_.EliminarDocumento(kAmbiente, kEmisor, "33", "2"), "EliminarDocumento");
  EXPECT_EQ(
      servicio_.RecuperarXML(kAmbiente, "E", kEmisor, "33", "2", false)->ResultadoServicio->Estado,
      "1");
  EXPECT_EQ(servicio_.EliminarDocumento(kAmbiente, kEmisor, "33", "2")->Estado, "1");
  EXPECT_EQ(EmitirFactura(), "3") << "a deleted document's folio stays spent";
}

}  // namespace
}  // namespace QuarloCliente::integration
