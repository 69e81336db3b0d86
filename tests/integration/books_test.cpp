// Books and daily folio reports against the sandbox: filed under their period codes, read back,
// replaced, deleted; reports sent, generated with voided ranges and confirmed.

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

using Libros = IntegrationTest;

template <class Libro>
std::shared_ptr<Libro> Cargar(const char* fixture) {
  auto libro = std::make_shared<Libro>();
  libro->Load(testing::ReadTestData(fixture), DefaultBindingContext());
  return libro;
}

TEST_F(Libros, BooksAreFiledUnderTheirPeriodReplacedAndDeleted) {
  const auto mayo = BindingDateTime::FromYearMonth(2024, 5);
  const auto enviarVentas = [&] {
    Require(servicio_
                .EnviarLibroCompraVenta(Cargar<LibroCompraVentaBinding>("libro_compra_venta.xml"),
                                        kAmbiente, "2016-03-18", 34, kEmisor, "2024-05",
                                        servicio_.TipoOperacion_Venta, servicio_.TipoLibro_Mensual,
                                        servicio_.TipoEnvio_Total, 0)
                ->ResultadoServicio,
            "EnviarLibroCompraVenta");
    return servicio_.EstadoFiscalLibro(kEmisor, "VENTA", kAmbiente, servicio_.TipoLibro_Mensual,
                                       mayo);
  };
  const auto ventas = enviarVentas();
  Require(ventas->ResultadoServicio, "EstadoFiscalLibro VENTA");
  EXPECT_EQ(ventas->Estado, "VALIDADO");
  Require(servicio_
              .EnviarLibroGuia(Cargar<LibroGuiaBinding>("libro_guia.xml"), kAmbiente, "2016-03-18",
                               34, kEmisor, "2024-05", servicio_.TipoLibro_Especial, 2406)
              ->ResultadoServicio,
          "EnviarLibroGuia");
  Require(servicio_
              .EnviarLibroBoleta(Cargar<LibroBoletaBinding>("libro_boleta.xml"), kAmbiente,
                                 kFechaResolucion, kNroResolucion, kEmisorBoletas, "2024-05",
                                 servicio_.TipoLibro_Especial, 2405)
              ->ResultadoServicio,
          "EnviarLibroBoleta");
  for (const auto& [rut, tipo] :
       {std::pair{kEmisor, "GUIA"}, std::pair{kEmisorBoletas, "BOLETA"}}) {
    const auto estado =
        servicio_.EstadoFiscalLibro(rut, tipo, kAmbiente, servicio_.TipoLibro_Especial, mayo);
    Require(estado->ResultadoServicio, std::string("EstadoFiscalLibro ") + tipo);
    EXPECT_FALSE(estado->IdSeguimiento.empty());
  }
  // The period code tells a month's kinds of book and the months apart.
  EXPECT_EQ(
      servicio_.EstadoFiscalLibro(kEmisor, "GUIA", kAmbiente, servicio_.TipoLibro_Mensual, mayo)
          ->ResultadoServicio->Estado,
      "1");
  EXPECT_EQ(servicio_
                .EstadoFiscalLibro(kEmisor, "VENTA", kAmbiente, servicio_.TipoLibro_Mensual,
                                   BindingDateTime::FromYearMonth(2024, 6))
                ->ResultadoServicio->Estado,
            "1");

  // The service wrote the cover the library leaves out from the request's fields.
  const auto guardado =
      servicio_.RecuperarXML(kAmbiente, "E", kEmisor, "VENTA", "202405130", false);
  Require(guardado->ResultadoServicio, "RecuperarXML libro");
  const XmlDocument libro = XmlDocument::Parse(guardado->Datos);
  EXPECT_EQ(servicio_.NodeValue(libro, "//Caratula/RutEmisorLibro"), kEmisor);
  EXPECT_EQ(servicio_.NodeValue(libro, "//Caratula/PeriodoTributario"), "2024-05");
  EXPECT_EQ(servicio_.NodeValue(libro, "//Caratula/TipoOperacion"), "VENTA");
  EXPECT_EQ(servicio_.NodeValue(libro, "//Detalle/RznSoc"), "Ferretería Doña Rosa E.I.R.L.");

  const auto reenviado = enviarVentas();
  EXPECT_NE(reenviado->IdSeguimiento, ventas->IdSeguimiento) << "a new submission replaces it";

  Require(servicio_.EliminarLibro(kAmbiente, kEmisor, "VENTA", servicio_.TipoLibro_Mensual, mayo),
          "EliminarLibro");
  EXPECT_EQ(
      servicio_.EstadoFiscalLibro(kEmisor, "VENTA", kAmbiente, servicio_.TipoLibro_Mensual, mayo)
          ->ResultadoServicio->Estado,
      "1");
  EXPECT_EQ(
      servicio_.EstadoFiscalLibro(kEmisor, "GUIA", kAmbiente, servicio_.TipoLibro_Especial, mayo)
          ->ResultadoServicio->Estado,
      "0")
      << "only that book is gone";
}

TEST_F(Libros, FolioReportsAreSentThenGeneratedWithVoidedRangesAndConfirmed) {
  SubirCaf(kEmisorBoletas, 39, 1, 20);
  ASSERT_EQ(EmitirBoleta(), "1");
  ASSERT_EQ(EmitirBoleta(), "2");
  const auto informe = [&] {
    const auto xml = servicio_.RecuperarXMLConsumoFolios(kAmbiente, kEmisorBoletas, hoy_);
    Require(xml->ResultadoServicio, "RecuperarXMLConsumoFolios");
    return XmlDocument::Parse(xml->Datos);
  };

  auto consumo = std::make_shared<ConsumoFoliosBinding>();
  auto resumen = consumo->DocumentoConsumoFolios()->AgregarResumen();
  resumen->SetTipoDocumento(39).SetMntTotal(42450);
  resumen->Set("FoliosEmitidos", 2).Set("FoliosAnulados", 0).Set("FoliosUtilizados", 2);
  resumen->AgregarRangoUtilizados(1, 2);
  Require(servicio_
              .EnviarConsumoFolio(consumo, kAmbiente, kFechaResolucion, kNroResolucion,
                                  kEmisorBoletas, Hoy(), Hoy())
              ->ResultadoServicio,
          "EnviarConsumoFolio");
  EXPECT_EQ(servicio_.EstadoFiscalConsumoFolios(kEmisorBoletas, kAmbiente, hoy_)->Estado,
            "VALIDADO");
  const XmlDocument enviado = informe();
  EXPECT_EQ(servicio_.NodeValue(enviado, "//Caratula/RutEmisor"), kEmisorBoletas);
  EXPECT_EQ(servicio_.NodeValue(enviado, "//Caratula/FchInicio"), Hoy());
  EXPECT_EQ(servicio_.NodeValue(enviado, "//Caratula/SecEnvio"), "1");

  // The service's own report of the day: the boletas it holds and the range declared void, kept
  // waiting until confirmed.
  auto rangos = std::make_shared<ColeccionRangosAnulados>();
  rangos->push_back(std::make_shared<RangoAnulado>());
  rangos->back()->Create(39, 3, 5);
  Require(servicio_.GenerarConsumoFolio(kAmbiente, kEmisorBoletas, hoy_, rangos, false),
          "GenerarConsumoFolio");
  EXPECT_EQ(servicio_.EstadoFiscalConsumoFolios(kEmisorBoletas, kAmbiente, hoy_)->Estado,
            "PENDIENTE");
  const XmlDocument generado = informe();
  EXPECT_EQ(servicio_.NodeValue(generado, "//Caratula/SecEnvio"), "2");
  EXPECT_EQ(servicio_.NodeValue(generado, "//Resumen/MntTotal"), "42450");
  EXPECT_EQ(servicio_.NodeValue(generado, "//Resumen/FoliosEmitidos"), "5");
  EXPECT_EQ(servicio_.NodeValue(generado, "//RangoUtilizados/Final"), "2");
  EXPECT_EQ(servicio_.NodeValue(generado, "//RangoAnulados/Inicial"), "3");
  EXPECT_EQ(servicio_.NodeValue(generado, "//RangoAnulados/Final"), "5");

  const auto confirmado =
      servicio_.ConfirmarDocumento(kEmisorBoletas, Hoy("yyyyMMdd"), "100", kAmbiente);
  Require(confirmado->ResultadoServicio, "ConfirmarDocumento");
  EXPECT_EQ(confirmado->Estado, "RECIBIDO");
  EXPECT_EQ(servicio_.EstadoFiscalConsumoFolios(kEmisorBoletas, kAmbiente, hoy_)->Estado,
            "VALIDADO");
  EXPECT_EQ(EmitirBoleta(), "6") << "voided folios are spent";
}

}  // namespace
}  // namespace QuarloCliente::integration
