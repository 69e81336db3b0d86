#include <gtest/gtest.h>

#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "search_fixture.hpp"

namespace QuarloCliente {
namespace {

using testing::Document;
using testing::FullDocumentFields;
using testing::PageAnswer;
using testing::PageOf;
using testing::ScriptedResponse;
using testing::Summaries;
using testing::With;
using testing::Without;

constexpr char kPrefix[] = "Error buscando documentos: ";

class BuscarDocumentosTest : public testing::SearchServiceTest {
 protected:
  std::shared_ptr<ResultadosBusqueda> Search(Integer pageSize = 10) {
    return servicio_.BuscarDocumentos("T", "E", "TipoDTE:33", 1, pageSize);
  }
};

TEST_F(BuscarDocumentosTest, SendsTheQueryAsIsoBase64WithThePageFigures) {
  Answer(PageAnswer(PageOf({}), "0"));
  servicio_.BuscarDocumentos("P", "R", "RznSoc:ñandú €", -2, 25);
  const testing::RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.request_line, "POST /PaginatedSearch HTTP/1.1");
  const XmlDocument body = XmlDocument::Parse(request.body);
  EXPECT_EQ(servicio_.NodeValue(body, "/SearchRequest/Environment"), "P");
  EXPECT_EQ(servicio_.NodeValue(body, "/SearchRequest/Group"), "R");
  EXPECT_EQ(servicio_.NodeValue(body, "/SearchRequest/Page"), "-2");
  EXPECT_EQ(servicio_.NodeValue(body, "/SearchRequest/PageSize"), "25");
  const Bytes query = servicio_.DecodeBase64(servicio_.NodeValue(body, "/SearchRequest/Query"));
  const Bytes iso = {'R', 'z', 'n', 'S', 'o', 'c', ':', 0xF1, 'a', 'n', 'd', 0xFA, ' ', '?'};
  EXPECT_EQ(query, iso);
}

TEST_F(BuscarDocumentosTest, EveryMemberComesFromItsElement) {
  const std::string page = PageOf({Document(FullDocumentFields())});
  Answer(PageAnswer(page, "1", "0.031"));
  const auto result = Search();
  ASSERT_EQ(result->ResultadoServicio->Estado, "0") << result->ResultadoServicio->Descripcion;
  EXPECT_EQ(result->xml, page);
  EXPECT_EQ(result->TiempoBusqueda, "0.031");
  EXPECT_EQ(result->TotalDocumentos, 1);
  EXPECT_EQ(result->TotalPages, 1);
  const auto summaries = Summaries(*result);
  ASSERT_EQ(summaries.size(), 1u);
  const ResumenDTE& r = *summaries[0];
  EXPECT_EQ(r.DocID, 0);
  EXPECT_EQ(r.grupo, "");
  EXPECT_EQ(r.Seguimiento, "SEG-1");
  EXPECT_EQ(r.tipoDte, "33");
  EXPECT_EQ(r.folio, 1234);
  EXPECT_EQ(r.FchEmis, "2024-03-01");
  EXPECT_EQ(r.FchVenc, "2024-04-01");
  EXPECT_EQ(r.rutEmisor, "76123456-K");
  EXPECT_EQ(r.RznSoc, "Ñuñoa Ltda.");
  EXPECT_EQ(r.Sucursal, "Casa Matriz");
  EXPECT_EQ(r.RUTRecep, "11111111-1");
  EXPECT_EQ(r.RznSocRecep, "Pérez & Cía");
  EXPECT_EQ(r.MntTotal, "119000");
  EXPECT_EQ(r.IVA, "19000");
  EXPECT_EQ(r.MntNeto, "100000");
  EXPECT_EQ(r.NmbItem, "Asesoría");
  EXPECT_EQ(r.CmnaOrigen, "Providencia");
  EXPECT_EQ(r.CiudadRecep, "Santiago");
  EXPECT_EQ(r.CmnaRecep, "Las Condes");
  EXPECT_EQ(r.Estructura + r.Firma + r.AutorizadoSII + r.Distribuido + r.Recibido + r.Aprobado,
            "E1F2A3D4R5P6");
  EXPECT_EQ(r.TimeStamp, MakeDate(2024, 3, 7, 10, 20, 30));
  EXPECT_EQ(r.Cesion + r.Anulado + r.Eliminado + r.Indexado, "C7N8L9I10");
  EXPECT_EQ(r.IdAdicEmisor, "ADIC");
  EXPECT_EQ(r.CdgIntRecep, "INT-9");
  EXPECT_EQ(r.CorreoRecep, "pago@cliente.cl");
  EXPECT_EQ(r.DscItem, "Marzo");
  EXPECT_EQ(r.MntExe, "500");
  EXPECT_EQ(*r.ListaFoliosReferencia, (ListaFolios{"100", "300"}));
  EXPECT_EQ(r.RecibidoSII, "");
  EXPECT_EQ(r.FechaRecibidoSII, "2024-03-02");
  EXPECT_EQ(r.AnuladoContable, "AC12");
  EXPECT_EQ(r.DownloadCustomerDocumentUrl, "https://s/d?id=1&k=2");
  EXPECT_EQ(r.ClaimAction, "ACD");
  EXPECT_EQ(r.Conciliado, "Z13");
  EXPECT_EQ(r.FchRespComercial, "2024-03-05");
}

TEST_F(BuscarDocumentosTest, EachDocumentReadsOnlyItsOwnElementsAtAnyDepth) {
  const std::string nested =
      "<document><Encabezado><Emisor><RUTEmisor>1-9</RUTEmisor></Emisor><IdDoc><Folio>7</Folio>"
      "</IdDoc></Encabezado><Estado><TimeStamp>2024-01-02</TimeStamp></Estado></document>";
  const auto second = With(With(FullDocumentFields(), "Folio", "8"), "FolioRef802", "200");
  Answer(PageAnswer("<r xmlns=\"urn:svc\"><page>" + nested + "</page>" + Document(second) + "</r>",
                    "2"));
  const auto summaries = Summaries(*Search());
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0]->rutEmisor, "1-9");
  EXPECT_EQ(summaries[0]->folio, 7);
  EXPECT_EQ(summaries[0]->TimeStamp, MakeDate(2024, 1, 2));
  EXPECT_EQ(summaries[0]->MntExe, "");
  EXPECT_TRUE(summaries[0]->ListaFoliosReferencia->empty());
  EXPECT_EQ(summaries[1]->folio, 8);
  EXPECT_EQ(*summaries[1]->ListaFoliosReferencia, (ListaFolios{"100", "200", "300"}));
}

TEST_F(BuscarDocumentosTest, TimeStampsAreReadInEveryFormTheServiceWrites) {
  const std::vector<std::pair<std::string, Date>> forms = {
      {"2024-03-07T10:20:30.1234567-03:00", MakeDate(2024, 3, 7, 10, 20, 30)},
      {"2024/03/07 23:59:59 GMT-3", MakeDate(2024, 3, 7, 23, 59, 59)},
      {"2024-03-07", MakeDate(2024, 3, 7)}};
  std::vector<std::string> documents;
  for (const auto& [text, date] : forms) {
    documents.push_back(Document(With(FullDocumentFields(), "TimeStamp", text)));
  }
  Answer(PageAnswer(PageOf(documents), "3"));
  const auto summaries = Summaries(*Search());
  ASSERT_EQ(summaries.size(), forms.size());
  for (std::size_t i = 0; i < forms.size(); ++i) {
    EXPECT_EQ(summaries[i]->TimeStamp, forms[i].second) << forms[i].first;
  }
}

TEST_F(BuscarDocumentosTest, AnUnreadableDocumentFailsTheWholeSearch) {
  const std::vector<std::pair<testing::Fields, std::string>> cases = {
      {With(FullDocumentFields(), "TimeStamp", ""), "la marca de tiempo está vacía"},
      {Without(FullDocumentFields(), "TimeStamp"), "la marca de tiempo está vacía"},
      {With(FullDocumentFields(), "TimeStamp", "2024-02-30T10:00:00"), "2024-02-30T10:00:00"},
      {With(FullDocumentFields(), "TimeStamp", "2024-03-07T10:2"), "no es una fecha y hora"},
      {With(FullDocumentFields(), "Folio", "12a"),
       "el elemento Folio no es un número entero: \"12a\""},
      {Without(FullDocumentFields(), "Folio"), "el elemento Folio no es un número entero: \"\""},
      {With(FullDocumentFields(), "Folio", "2147483648"), "excede el rango de 32 bits"}};
  for (const auto& [fields, reason] : cases) {
    SCOPED_TRACE(reason);
    Answer(PageAnswer(PageOf({Document(FullDocumentFields()), Document(fields)}), "2"));
    const auto result = Search();
    EXPECT_EQ(result->ResultadoServicio->Estado, "1");
    EXPECT_EQ(result->ResultadoServicio->Descripcion.rfind(kPrefix, 0), 0u);
    EXPECT_NE(result->ResultadoServicio->Descripcion.find(reason), std::string::npos);
    // Read after the page's own report closed: still the answer's fault, not the caller's.
    EXPECT_EQ(result->ResultadoServicio->Fallo, TipoFallo::RespuestaInvalida);
    EXPECT_EQ(result->getDocumentos(), nullptr);
  }
}

TEST_F(BuscarDocumentosTest, PagesFollowTheTotalAndThePageSize) {
  struct Case {
    const char* total;
    Integer pageSize;
    Long pages;
  };
  for (const Case& c : {Case{"30", 10, 3}, Case{"10", 10, 1}, Case{"31", 10, 4}, Case{"5", 10, 1},
                        Case{"0", 10, 0}, Case{"40000", 100, 400}, Case{"40001", 32767, 2}}) {
    Answer(PageAnswer(PageOf({}), c.total));
    const auto result = Search(c.pageSize);
    EXPECT_EQ(result->ResultadoServicio->Estado, "0") << c.total;
    EXPECT_EQ(result->TotalDocumentos, std::stol(c.total));
    EXPECT_EQ(result->TotalPages, c.pages) << c.total << "/" << c.pageSize;
  }
}

TEST_F(BuscarDocumentosTest, APageSizeOfZeroFailsOnlyAfterTheRecordsAreBuilt) {
  Answer(PageAnswer(PageOf({Document(FullDocumentFields()), Document(FullDocumentFields())}), "2"));
  const auto result = Search(0);
  EXPECT_EQ(result->ResultadoServicio->Estado, "1");
  EXPECT_EQ(result->ResultadoServicio->Descripcion,
            std::string(kPrefix) + "el tamaño de página es 0");
  EXPECT_EQ(result->ResultadoServicio->Fallo, TipoFallo::ErrorLocal);
  EXPECT_EQ(Summaries(*result).size(), 2u);
  EXPECT_EQ(result->TotalDocumentos, 2);
  EXPECT_EQ(result->TotalPages, 0);
  EXPECT_FALSE(result->xml.empty());
}

TEST_F(BuscarDocumentosTest, APageWithoutDocumentsIsAnEmptySuccess) {
  Answer(PageAnswer("<documents><total>0</total></documents>", "0"));
  Answer(PageAnswer("", "0"));
  for (int i = 0; i < 2; ++i) {
    const auto result = Search();
    EXPECT_EQ(result->ResultadoServicio->Estado, "0");
    ASSERT_NE(result->getDocumentos(), nullptr);
    EXPECT_TRUE(result->getDocumentos()->empty());
  }
}

TEST_F(BuscarDocumentosTest, FailuresOfTheAnswerKeepWhatWasReadBefore) {
  Answer("<Response><Result>3</Result><Description>Consulta inválida</Description></Response>");
  auto result = Search();
  EXPECT_EQ(result->ResultadoServicio->Estado, "1");
  EXPECT_EQ(result->ResultadoServicio->Descripcion, "Consulta inválida");
  ASSERT_NE(result->getDocumentos(), nullptr);
  EXPECT_TRUE(result->getDocumentos()->empty());
  EXPECT_EQ(result->TotalDocumentos, 0);

  Answer(PageAnswer(PageOf({}), "muchos", "0.5"));
  result = Search();
  EXPECT_EQ(result->ResultadoServicio->Descripcion,
            std::string(kPrefix) + "el elemento TotalDocuments no es un número entero: \"muchos\"");
  EXPECT_EQ(result->TiempoBusqueda, "0.5");

  Answer("<Response><Result>0</Result><TotalDocuments>4</TotalDocuments><Data>*</Data></Response>");
  result = Search();
  EXPECT_EQ(result->ResultadoServicio->Descripcion.rfind(
                std::string(kPrefix) + "el elemento Data no es Base64 válido", 0),
            0u);
  EXPECT_EQ(result->TotalDocumentos, 4);
  EXPECT_TRUE(result->xml.empty());

  Answer("<Response><Result>0</Result><TotalDocuments>4</TotalDocuments></Response>");
  EXPECT_EQ(Search()->ResultadoServicio->Descripcion,
            std::string(kPrefix) + "la respuesta no contiene el elemento Data");
  server_.Enqueue(ScriptedResponse::Html("<html><body>Bad gateway<br></body></html>", 502));
  EXPECT_EQ(Search()->ResultadoServicio->Descripcion,
            std::string(kPrefix) + "HTTP 502: la respuesta no es XML");
}

}  // namespace
}  // namespace QuarloCliente
