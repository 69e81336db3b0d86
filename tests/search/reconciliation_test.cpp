#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "search_fixture.hpp"
#include "support/hostile_server.hpp"

namespace QuarloCliente {
namespace {

using testing::Document;
using testing::FullDocumentFields;
using testing::PageAnswer;
using testing::PageOf;
using testing::Summaries;
using testing::UnusedPort;
using testing::With;
using testing::Without;

constexpr char kPrefix[] = "Error buscando documentos: ";
constexpr char kPassword[] = "cl@ve/SII#1?x y";

class ConciliarTest : public testing::SearchServiceTest {
 protected:
  std::shared_ptr<ResultadosBusqueda> Documents() {
    return servicio_.ConciliarDocumentos("T", "11111111-1", "2024-03-01", "2024-03-31");
  }
  std::shared_ptr<ResultadosBusqueda> Cessions() {
    return servicio_.ConciliarCesiones("T", "11111111-1", "2024-03-01", "2024-03-31", "DEUDOR",
                                       kPassword);
  }
};

TEST_F(ConciliarTest, DocumentsComeInOnePageWhateverTheirNumber) {
  std::vector<std::string> documents;
  for (int folio = 1; folio <= 250; ++folio) {
    documents.push_back(Document(With(FullDocumentFields(), "Folio", std::to_string(folio))));
  }
  Answer(PageAnswer(PageOf(documents), "250", "1.5"));
  const auto result =
      servicio_.ConciliarDocumentos("P", "76.123.456-K", "2024-01-01", "31/01/2024");
  EXPECT_EQ(server_.WaitForRequest(0).request_line,
            "GET /Reconciliate/P/76.123.456-K/2024-01-01/31%2F01%2F2024 HTTP/1.1");
  EXPECT_EQ(result->ResultadoServicio->Estado, "0") << result->ResultadoServicio->Descripcion;
  EXPECT_EQ(result->TotalDocumentos, 250);
  EXPECT_EQ(result->TotalPages, 1);
  EXPECT_EQ(result->TiempoBusqueda, "1.5");
  const auto summaries = Summaries(*result);
  ASSERT_EQ(summaries.size(), 250u);
  EXPECT_EQ(summaries.front()->folio, 1);
  EXPECT_EQ(summaries.back()->folio, 250);
}

TEST_F(ConciliarTest, ReconciledDocumentsCarryTheirOwnReceptionFields) {
  Answer(PageAnswer(PageOf({Document(FullDocumentFields())}), "1"));
  const auto summaries = Summaries(*Documents());
  ASSERT_EQ(summaries.size(), 1u);
  const ResumenDTE& r = *summaries[0];
  EXPECT_EQ(r.folio, 1234);
  EXPECT_EQ(r.RznSoc, "Ñuñoa Ltda.");
  EXPECT_EQ(r.TimeStamp, MakeDate(2024, 3, 7, 10, 20, 30));
  EXPECT_EQ(r.Aprobado + r.Indexado, "P6I10");
  EXPECT_EQ(*r.ListaFoliosReferencia, (ListaFolios{"100", "300"}));
  EXPECT_EQ(r.RecibidoSII, "S11");
  EXPECT_EQ(r.FechaRecibidoSII, "2024-03-03");
  EXPECT_EQ(r.AnuladoContable + r.DownloadCustomerDocumentUrl + r.ClaimAction + r.Conciliado +
                r.FchRespComercial,
            "");
}

TEST_F(ConciliarTest, ADocumentWithoutTimeStampGetsTheCurrentTime) {
  Answer(PageAnswer(PageOf({Document(Without(FullDocumentFields(), "TimeStamp")),
                            Document(With(FullDocumentFields(), "TimeStamp", " "))}),
                    "2"));
  const Date before = Now();
  const auto result = Documents();
  const Date after = Now();
  const auto summaries = Summaries(*result);
  ASSERT_EQ(summaries.size(), 2u);
  for (const auto& summary : summaries) {
    EXPECT_GE(summary->TimeStamp, before);
    EXPECT_LE(summary->TimeStamp, after);
  }
}

TEST_F(ConciliarTest, ATimeStampReadableOnlyByPositionFailsTheWholeReconciliation) {
  for (const auto& fields : {With(FullDocumentFields(), "TimeStamp", "2024/03/07T10:20:30"),
                             With(FullDocumentFields(), "Folio", "")}) {
    Answer(PageAnswer(PageOf({Document(FullDocumentFields()), Document(fields)}), "2"));
    const auto result = Documents();
    EXPECT_EQ(result->ResultadoServicio->Estado, "1");
    EXPECT_EQ(result->ResultadoServicio->Descripcion.rfind(kPrefix, 0), 0u);
    EXPECT_EQ(result->getDocumentos(), nullptr);
  }
}

TEST_F(ConciliarTest, CessionFieldsAreCopiedAsText) {
  const testing::Fields full = {{"VENDEDOR", "1-9"},
                                {"ESTADO_CESION", "Cedido"},
                                {"DEUDOR", "2-7"},
                                {"MAIL_DEUDOR", "d@x.cl"},
                                {"TIPO_DOC", "33"},
                                {"NOMBRE_DOC", "Factura Electrónica"},
                                {"FOLIO_DOC", "0012"},
                                {"FCH_EMIS_DTE", "2024-03-01"},
                                {"MNT_TOTAL", "119000"},
                                {"CEDENTE", "3-5"},
                                {"RZ_CEDENTE", "Ñandú SpA"},
                                {"MAIL_CEDENTE", "c@x.cl"},
                                {"CESIONARIO", "4-3"},
                                {"RZ_CESIONARIO", "Factoring S.A."},
                                {"MAIL_CESIONARIO", "f@x.cl"},
                                {"FCH_CESION", "2024-03-02 10:00"},
                                {"MNT_CESION", "100000"},
                                {"FCH_VENCIMIENTO", "no es fecha"}};
  Answer(PageAnswer(PageOf({Document(full), Document(Without(full, "MAIL_DEUDOR"))}), "2"));
  const auto result = Cessions();
  EXPECT_EQ(result->ResultadoServicio->Estado, "0") << result->ResultadoServicio->Descripcion;
  EXPECT_EQ(result->TotalPages, 1);
  ASSERT_NE(result->getDocumentos(), nullptr);
  ASSERT_EQ(result->getDocumentos()->size(), 2u);
  const auto& c = *std::get<std::shared_ptr<ResumenCesion>>(result->getDocumentos()->at(0));
  EXPECT_EQ(c.RUTVendedor + "|" + c.EstadoCesion + "|" + c.RUTDeudor + "|" + c.MailDeudor + "|" +
                c.tipoDocumento + "|" + c.NombreDocumento + "|" + c.folio + "|" + c.FchEmisDTE +
                "|" + c.MntTotal,
            "1-9|Cedido|2-7|d@x.cl|33|Factura Electrónica|0012|2024-03-01|119000");
  EXPECT_EQ(c.RUTCedente + "|" + c.RazonSocialCedente + "|" + c.MailCedente + "|" +
                c.RUTCesionario + "|" + c.RazonSocialCesionario + "|" + c.MailCesionario + "|" +
                c.FchCesion + "|" + c.MntCesion + "|" + c.FchVencimiento,
            "3-5|Ñandú SpA|c@x.cl|4-3|Factoring S.A.|f@x.cl|2024-03-02 10:00|100000|no es fecha");
  const auto& second = *std::get<std::shared_ptr<ResumenCesion>>(result->getDocumentos()->at(1));
  EXPECT_EQ(second.MailDeudor, "");
  EXPECT_EQ(second.RUTDeudor, "2-7");
}

TEST_F(ConciliarTest, ThePasswordTravelsAsOneSegmentAndNeverReachesTheDescription) {
  Answer("<Response><Result>5</Result><Description>Clave rechazada: " + std::string(kPassword) +
         " (cl%40ve%2FSII%231%3Fx%20y)</Description></Response>");
  const auto refused = Cessions();
  EXPECT_EQ(server_.WaitForRequest(0).target,
            "/ReconciliateCessions/T/11111111-1/2024-03-01/2024-03-31/DEUDOR/"
            "cl%40ve%2FSII%231%3Fx%20y");
  EXPECT_EQ(refused->ResultadoServicio->Descripcion, "Clave rechazada: *** (***)");

  // The key and the password in one echo, in a failure of the whole page, and the password on
  // its own in the next exchange, which must not take the first one's secrets for its own.
  servicio_.Configurar(server_.BaseUrl(), "SECRETKEY123");
  Answer(testing::EchoingAnswer("llave SECRETKEY123, clave " + std::string(kPassword)));
  EXPECT_EQ(Cessions()->ResultadoServicio->Descripcion, "llave ***, clave ***");
  Answer(testing::EchoingAnswer(kPassword));
  EXPECT_EQ(Documents()->ResultadoServicio->Descripcion, kPassword);

  // A secret quoted by a refusal of a value, not by the service's Description.
  Answer(testing::PageAnswer(testing::PageOf({}), std::string(kPassword) + " SECRETKEY123"));
  const auto quoted = Cessions();
  EXPECT_EQ(quoted->ResultadoServicio->Estado, "1");
  EXPECT_EQ(quoted->ResultadoServicio->Descripcion.find("SECRETKEY123"), std::string::npos);
  EXPECT_EQ(quoted->ResultadoServicio->Descripcion.find(kPassword), std::string::npos);
  EXPECT_NE(quoted->ResultadoServicio->Descripcion.find("TotalDocuments"), std::string::npos);

  servicio_.Configurar("http://127.0.0.1:" + std::to_string(UnusedPort()), "llave");
  const auto unreachable = Cessions();
  const std::string& description = unreachable->ResultadoServicio->Descripcion;
  EXPECT_EQ(unreachable->ResultadoServicio->Estado, "1");
  EXPECT_EQ(description.rfind(std::string(kPrefix) + "no se pudo conectar", 0), 0u) << description;
  EXPECT_EQ(description.find("cl@ve"), std::string::npos);
  EXPECT_EQ(description.find("cl%40ve"), std::string::npos);
}

}  // namespace
}  // namespace QuarloCliente
