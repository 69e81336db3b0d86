#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <quarlo/quarlo.hpp>

#include "core/servicio_access.hpp"

namespace QuarloCliente {
namespace {

using detail::ServicioAccess;

TEST(Servicio, ConstructionSetsEveryConstant) {
  Servicio s;
  const Integer tipos[] = {s.TipoDTE_33,  s.TipoDTE_34, s.TipoDTE_39, s.TipoDTE_41,  s.TipoDTE_46,
                           s.TipoDTE_52,  s.TipoDTE_56, s.TipoDTE_61, s.TipoDTE_66,  s.TipoDTE_96,
                           s.TipoDTE_97,  s.TipoDTE_98, s.TipoDTE_99, s.TipoDTE_100, s.TipoDTE_110,
                           s.TipoDTE_111, s.TipoDTE_112};
  const Integer esperados[] = {33, 34, 39, 41, 46,  52,  56,  61, 66,
                               96, 97, 98, 99, 100, 110, 111, 112};
  EXPECT_TRUE(std::equal(std::begin(tipos), std::end(tipos), std::begin(esperados)));
  EXPECT_EQ(s.TipoEnvio_Ajuste, "AJUSTE");
  EXPECT_EQ(s.TipoLibro_Rectifica, "RECTIFICA");
  EXPECT_EQ(s.TipoOperacion_Venta, "VENTA");
  EXPECT_EQ(s.TipoPDF417_Grafico, 2);
  EXPECT_EQ(s.TipoPDF417_Fuente, 1);
  EXPECT_EQ(s.Ambiente_Homologacion, "T");
  EXPECT_EQ(s.Ambiente_Produccion, "P");
  EXPECT_EQ(s.Grupo_Emitido, "E");
  EXPECT_EQ(s.Grupo_Recibido, "R");
  EXPECT_EQ(s.TipoRespuestaComercial_Rechazo, "R");
  // The action codes are not in the order of their declarations.
  EXPECT_EQ(s.TipoAccionRespuestaComercial_AceptaContenido, "4");
  EXPECT_EQ(s.TipoAccionRespuestaComercial_Reclamocontenido, "1");
  EXPECT_EQ(s.TipoAccionRespuestaComercial_ReciboMercaderiasServicios, "0");
  EXPECT_EQ(s.TipoAccionRespuestaComercial_ReclamoParcialMercaderias, "2");
  EXPECT_EQ(s.TipoAccionRespuestaComercial_ReclamoTotalMercaderias, "3");
  EXPECT_EQ(s.TipoConsultaCesion_Cesionario, "2");
  EXPECT_EQ(s.QuarloVersion, 0);
  EXPECT_EQ(ServicioAccess::ApiUri(s), "");
  EXPECT_EQ(ServicioAccess::ApiLlave(s), "");
}

TEST(Servicio, ConfigurarStoresValuesUnchangedAndResetsVersion) {
  Servicio s;
  s.QuarloVersion = 7;
  s.Configurar("https://api.example.test/v1/", " llave ");
  EXPECT_EQ(ServicioAccess::ApiUri(s), "https://api.example.test/v1/");
  EXPECT_EQ(ServicioAccess::ApiLlave(s), " llave ");
  EXPECT_EQ(s.QuarloVersion, 0);
  s.Configurar("http://otro", "");
  EXPECT_EQ(ServicioAccess::ApiUri(s), "http://otro");
  EXPECT_EQ(ServicioAccess::ApiLlave(s), "");
}

TEST(Servicio, DependencyChecksPass) {
  Servicio s;
  EXPECT_TRUE(s.CheckXMLDependency());
  EXPECT_TRUE(s.CheckADODBDependency());
  EXPECT_TRUE(s.CheckDependencies());
}

TEST(Servicio, GetArrayLengthIsTheUpperBound) {
  Servicio s;
  EXPECT_EQ(s.GetArrayLength(Variant(Bytes(10, 0x41))), 9);
  EXPECT_EQ(s.GetArrayLength(Variant(Bytes{1})), 0);
  EXPECT_EQ(s.GetArrayLength(Variant(Bytes{})), -1);
  EXPECT_EQ(s.GetArrayLength(Variant()), -1);
  EXPECT_EQ(s.GetArrayLength(Variant(Null{})), -1);
  EXPECT_EQ(s.GetArrayLength(Variant("texto")), -1);
  EXPECT_EQ(s.GetArrayLength(Variant(Long{5})), -1);
}

TEST(Servicio, MovingCarriesTheConfigurationAndLeavesTheSourceReusable) {
  Servicio origen;
  origen.Configurar("http://uno", "llave");
  origen.ConfigurarLimites(
      {std::chrono::seconds(3), std::chrono::seconds(4), std::chrono::seconds(5)});
  Servicio movido(std::move(origen));
  EXPECT_EQ(ServicioAccess::ApiUri(movido), "http://uno");
  EXPECT_EQ(ServicioAccess::ApiLlave(movido), "llave");
  EXPECT_EQ(ServicioAccess::Read(movido).limites.estancamiento, std::chrono::seconds(4));
  // The source reads as a new instance, and takes a configuration of its own.
  EXPECT_EQ(ServicioAccess::ApiUri(origen), "");
  EXPECT_EQ(ServicioAccess::Read(origen).limites.conexion, std::chrono::seconds(30));
  origen.Configurar("http://dos", "otra");
  EXPECT_EQ(ServicioAccess::ApiUri(origen), "http://dos");
  EXPECT_EQ(ServicioAccess::ApiUri(movido), "http://uno");

  Servicio asignado;
  asignado = std::move(movido);
  EXPECT_EQ(ServicioAccess::ApiLlave(asignado), "llave");
  movido.ConfigurarLimites({std::chrono::seconds(1), std::chrono::seconds(1), {}});
  EXPECT_EQ(ServicioAccess::Read(asignado).limites.plazoTotal, std::chrono::seconds(5));
  // A twin has the same service, key and limits.
  const Servicio twin = ServicioAccess::Twin(asignado);
  EXPECT_EQ(ServicioAccess::ApiUri(twin), "http://uno");
  EXPECT_EQ(ServicioAccess::ApiLlave(twin), "llave");
  EXPECT_EQ(ServicioAccess::Read(twin).limites.plazoTotal, std::chrono::seconds(5));
}

TEST(Servicio, PublicBase64RoundTripsAndRefusesJunk) {
  Servicio s;
  const Bytes data = {0x00, 0xFF, 0x10, 0x80};
  EXPECT_EQ(s.DecodeBase64(s.EncodeBase64(data)), data);
  EXPECT_EQ(s.EncodeBase64(Bytes{}), "");
  EXPECT_THROW(s.DecodeBase64("QUJD*"), Error);
}

class EscribirFicheroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("quarlo-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

TEST_F(EscribirFicheroTest, ShorterContentReplacesTheWholeFile) {
  Servicio s;
  const auto path = dir_ / "doc.pdf";
  ASSERT_TRUE(s.EscribirFichero(path.string(), Bytes(100, 'A')));
  ASSERT_TRUE(s.EscribirFichero(path.string(), Bytes{'%', 'P', 'D', 'F'}));
  EXPECT_EQ(ReadAll(path), (Bytes{'%', 'P', 'D', 'F'}));
}

TEST_F(EscribirFicheroTest, MissingFolderReportsFalseAndCreatesNothing) {
  Servicio s;
  const auto path = dir_ / "no-existe" / "doc.pdf";
  EXPECT_FALSE(s.EscribirFichero(path.string(), Bytes{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

TEST_F(EscribirFicheroTest, EmptyDataLeavesAnEmptyFile) {
  Servicio s;
  const auto path = dir_ / "vacio.bin";
  ASSERT_TRUE(s.EscribirFichero(path.string(), Bytes(10, 'x')));
  EXPECT_TRUE(s.EscribirFichero(path.string(), Bytes{}));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(Resultados, NewRecordsReportSuccess) {
  ResultadoEnviarDocumento documento;
  EXPECT_EQ(documento.ResultadoServicio->Estado, "0");
  EXPECT_EQ(documento.ResultadoServicio->Descripcion, "");
  EXPECT_EQ(documento.TED, "");
  ResultadoImprimir imprimir;
  EXPECT_FALSE(imprimir.Printed);
  ResultadoEstadoComercial comercial;
  EXPECT_EQ(comercial.ResultadoServicio->Estado, "0");
  EXPECT_EQ(comercial.Estado, "");
  // Two records never share a status object.
  ResultadoEstadoFiscal a;
  ResultadoEstadoFiscal b;
  EXPECT_NE(a.ResultadoServicio, b.ResultadoServicio);
}

TEST(Resultados, SetErrorMarksFailureAndLastCallWins) {
  ResultadoServicio r;
  r.SetError("");
  EXPECT_EQ(r.Estado, "1");
  EXPECT_EQ(r.Descripcion, "");
  r.SetError("primero");
  r.SetError("segundo");
  EXPECT_EQ(r.Descripcion, "segundo");
}

TEST(Resultados, ByteGettersDecodeWithoutChangingTheText) {
  ResultadoRecuperarPDF pdf;
  pdf.Datos = "JVBERi0=";
  EXPECT_EQ(pdf.GetDatosComoBytes(), (Bytes{'%', 'P', 'D', 'F', '-'}));
  EXPECT_EQ(pdf.Datos, "JVBERi0=");
  ResultadoEnviarDocumento doc;
  doc.Pdf417 = "no es base64!";
  EXPECT_THROW(doc.GetPdf417ComoBytes(), Error);
}

TEST(Dates, BuildSplitAndFormat) {
  const Date d = MakeDate(2024, 3, 5, 17, 30, 9);
  EXPECT_EQ(FormatDate(d, "yyyy-MM-dd"), "2024-03-05");
  EXPECT_EQ(FormatDate(d, "yyyyMMdd"), "20240305");
  EXPECT_EQ(FormatDate(d, "yyyy-MM-ddTHH:mm:ss"), "2024-03-05T17:30:09");
  const DateParts parts = SplitDate(d);
  EXPECT_EQ(parts.month, 3);
  EXPECT_EQ(parts.second, 9);
  EXPECT_THROW(MakeDate(2023, 2, 29), Error);
  EXPECT_THROW(MakeDate(2024, 13, 1), Error);
  EXPECT_EQ(FormatDate(MakeDate(2024, 2, 29), "dd/MM/yyyy"), "29/02/2024");
}

}  // namespace
}  // namespace QuarloCliente
