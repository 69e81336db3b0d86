#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "query_fixture.hpp"

namespace QuarloCliente {
namespace {

TEST_F(QueryTest, RetrievedPdfReachesTheDiskByteForByte) {
  Bytes pdf = {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n', 0x00, 0xE2, 0xE3, 0xCF, 0xD3, 0xFF};
  for (int i = 0; i < 3000; ++i) pdf.push_back(static_cast<std::uint8_t>(i * 7));
  Answer("<Result>0</Result><Data>" + servicio.EncodeBase64(pdf) + "</Data>");
  const auto result = servicio.RecuperarPDF("T", "E", "76543210-3", "33", "1523");
  const auto path = std::filesystem::temp_directory_path() /
                    ("quarlo_pdf_" + std::to_string(::getpid()) + ".pdf");
  ASSERT_TRUE(servicio.EscribirFichero(path.string(), result->GetDatosComoBytes()));

  std::ifstream file(path, std::ios::binary);
  const Bytes written{std::istreambuf_iterator<char>(file), {}};
  std::filesystem::remove(path);
  EXPECT_EQ(Target(0), "/RecoverPDF_V2/T/E/76543210-3/33/1523");
  EXPECT_EQ(written, pdf);
}

TEST_F(QueryTest, MissingPdfIsReportedWithTheServiceText) {
  Answer("<Result>0</Result><Data>?</Data><Description>Documento sin PDF</Description>");
  Answer("<Result>0</Result><Data>?</Data>");
  const auto explained = servicio.RecuperarPDF("T", "E", "r", "33", "15");
  const auto unexplained = servicio.RecuperarPDF("T", "E", "r", "33", "15");

  EXPECT_EQ(explained->ResultadoServicio->Descripcion,
            "Error recuperando el PDF del documento: No fue posible recuperar el PDF del "
            "documento. Documento sin PDF");
  EXPECT_EQ(unexplained->ResultadoServicio->Descripcion,
            "Error recuperando el PDF del documento: la respuesta no contiene el elemento "
            "Description");
  EXPECT_EQ(explained->Datos, "");
}

TEST_F(QueryTest, PrintAndConfirmAskEnvironmentFirst) {
  Answer("<Result>0</Result>");
  Answer("<Result>4</Result><Description>Impresora apagada</Description>");
  Answer("<Result>0</Result><Status>CONFIRMADO</Status>");
  Answer("<Result>0</Result>");
  const auto printed = servicio.Imprimir("r", "15", "33", "p", "T");
  const auto notPrinted = servicio.Imprimir("r", "15", "33", "p", "T");
  const auto confirmed = servicio.ConfirmarDocumento("r", "15", "33", "T");
  const auto noStatus = servicio.ConfirmarDocumento("r", "15", "33", "T");

  EXPECT_EQ(Target(0), "/Print/T/r/33/15/p");
  EXPECT_TRUE(printed->Printed);
  EXPECT_FALSE(notPrinted->Printed);
  EXPECT_EQ(notPrinted->ResultadoServicio->Descripcion, "Impresora apagada");
  EXPECT_EQ(Target(2), "/ConfirmDocument/T/r/33/15");
  EXPECT_EQ(confirmed->Estado, "CONFIRMADO");
  EXPECT_EQ(noStatus->ResultadoServicio->Descripcion,
            "Error consultando servicio: la respuesta no contiene el elemento Status");
}

TEST_F(QueryTest, UnreachableServiceIsReportedWithEachPrefix) {
  std::string url;
  {
    testing::LoopbackServer closed;
    url = closed.BaseUrl();
  }
  servicio.Configurar(url, "llave");
  const std::pair<std::shared_ptr<ResultadoServicio>, std::string> cases[] = {
      {servicio.RecuperarPDF("T", "E", "r", "33", "15")->ResultadoServicio,
       "Error recuperando el PDF del documento: "},
      {servicio.Imprimir("r", "15", "33", "p", "T")->ResultadoServicio,
       "Error Enviando Solicitud de impresion: "},
      {servicio.RecuperarDocumento("T", "E", "r", "33", "15")->ResultadoServicio,
       "Error consultando servicio: "},
      {servicio.EstadoFiscal("T", "E", "r", "33", "15")->ResultadoServicio,
       "Error obteniendo estado fiscal: "}};
  for (const auto& [status, prefix] : cases) {
    EXPECT_EQ(status->Estado, "1");
    EXPECT_TRUE(status->Descripcion.starts_with(prefix) &&
                status->Descripcion.size() > prefix.size())
        << status->Descripcion;
  }
}

}  // namespace
}  // namespace QuarloCliente
