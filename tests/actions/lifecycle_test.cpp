#include <gtest/gtest.h>

#include <quarlo/servicio.hpp>
#include <string>

#include "actions_fixture.hpp"

namespace QuarloCliente::testing {
namespace {

using VoidOperation = std::shared_ptr<ResultadoServicio> (Servicio::*)(const std::string&,
                                                                       const std::string&,
                                                                       const std::string&,
                                                                       const std::string&,
                                                                       const std::string&);

struct VoidFamilyMember {
  VoidOperation operation;
  std::string path;
};

const VoidFamilyMember kVoidFamily[] = {{&Servicio::AnularDocumento, "/VoidDocument/"},
                                        {&Servicio::DesanularDocumento, "/UnVoidDocument/"}};

class LifecycleTest : public ActionsTest {
 protected:
  std::shared_ptr<ResultadoServicio> Call(const VoidFamilyMember& member,
                                          const std::string& comentario) {
    return (servicio_.*member.operation)("T", "11111111-1", "33", "10", comentario);
  }
};

TEST_F(LifecycleTest, VoidFamilyReportsTheDocumentStatusOrTheRefusal) {
  for (const VoidFamilyMember& member : kVoidFamily) {
    SCOPED_TRACE(member.path);
    server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Status", "ANULADO"}})));
    server_.Enqueue(ScriptedResponse::Xml(
        Answer({{"Result", "4"}, {"Description", "El documento no existe"}}), 404));
    const std::size_t first = server_.RequestCount();

    const auto done = Call(member, "error de digitación");
    EXPECT_EQ(done->Estado, "ANULADO");
    EXPECT_EQ(done->Descripcion, "");
    const RecordedRequest request = server_.WaitForRequest(first);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, member.path + "T/11111111-1/33/10/error%20de%20digitaci%C3%B3n");

    const auto refused = Call(member, "x");
    EXPECT_EQ(refused->Estado, "1");
    EXPECT_EQ(refused->Descripcion, "El documento no existe");
  }
}

TEST_F(LifecycleTest, CommentStaysOneSegmentNamingOnlyItsDocument) {
  for (const VoidFamilyMember& member : kVoidFamily) {
    SCOPED_TRACE(member.path);
    const std::size_t first = server_.RequestCount();
    Call(member, "ver 99/../34/11?folio=1#x");
    Call(member, "");
    EXPECT_EQ(server_.WaitForRequest(first).target,
              member.path + "T/11111111-1/33/10/ver%2099%2F..%2F34%2F11%3Ffolio%3D1%23x");
    EXPECT_EQ(server_.WaitForRequest(first + 1).target, member.path + "T/11111111-1/33/10/");
  }
}

TEST_F(LifecycleTest, VoidFamilyFailuresCarryTheFiscalStatusPrefix) {
  for (const VoidFamilyMember& member : kVoidFamily) {
    SCOPED_TRACE(member.path);
    server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}})));
    server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "2"}})));
    server_.Enqueue(ScriptedResponse::Html("<html><body>Bad Gateway<br></body></html>", 502));

    const auto withoutStatus = Call(member, "c");
    EXPECT_EQ(withoutStatus->Estado, "1");
    EXPECT_EQ(withoutStatus->Descripcion,
              "Error obteniendo estado fiscal: la respuesta no contiene el elemento Status");
    EXPECT_EQ(Call(member, "c")->Descripcion,
              "Error obteniendo estado fiscal: la respuesta no contiene el elemento Description");
    EXPECT_EQ(Call(member, "c")->Descripcion,
              "Error obteniendo estado fiscal: HTTP 502: la respuesta no es XML");
  }
}

TEST_F(LifecycleTest, DeletionKeepsTheServiceCodeAndText) {
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "7"}, {"Description", "Bloqueado"}})));
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Description", "Eliminado"}})));
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}})));

  const auto blocked = servicio_.EliminarDocumento("T", "11111111-1", "33", "10");
  EXPECT_EQ(blocked->Estado, "7");
  EXPECT_EQ(blocked->Descripcion, "Bloqueado");
  EXPECT_EQ(server_.WaitForRequest(0).target, "/DeleteDocument/T/11111111-1/33/10");

  const auto deleted = servicio_.EliminarDocumento("P", "11111111-1", "61", "20");
  EXPECT_EQ(deleted->Estado, "0");
  EXPECT_EQ(deleted->Descripcion, "Eliminado");

  const auto undescribed = servicio_.EliminarDocumento("T", "11111111-1", "33", "10");
  EXPECT_EQ(undescribed->Estado, "1");
  EXPECT_EQ(undescribed->Descripcion,
            "Error consultando servicio: la respuesta no contiene el elemento Description");
}

TEST_F(LifecycleTest, BookDeletionAddressesThePeriodCode) {
  const auto november = BindingDateTime::FromDate(2024, 11, 5);
  const auto march = BindingDateTime::FromYearMonth(2024, 3);
  const auto december = BindingDateTime::FromDate(2023, 12, 31);

  servicio_.EliminarLibro("T", "11111111-1", "COMPRA", "ESPECIAL", november);
  servicio_.EliminarLibro("T", "11111111-1", "VENTA", "MENSUAL", march);
  servicio_.EliminarLibro("P", "11111111-1", "VENTA", "RECTIFICA", december);
  servicio_.EliminarLibro("P", "11111111-1", "VENTA", "mensual", december);
  servicio_.TipoLibro_Especial = "EXTRA";
  servicio_.EliminarLibro("P", "11111111-1", "VENTA", "EXTRA", december);

  EXPECT_EQ(server_.WaitForRequest(0).target, "/DeleteDocument/T/11111111-1/COMPRA/202411230");
  EXPECT_EQ(server_.WaitForRequest(1).target, "/DeleteDocument/T/11111111-1/VENTA/202403130");
  EXPECT_EQ(server_.WaitForRequest(2).target, "/DeleteDocument/P/11111111-1/VENTA/202312330");
  EXPECT_EQ(server_.WaitForRequest(3).target, "/DeleteDocument/P/11111111-1/VENTA/202312330");
  EXPECT_EQ(server_.WaitForRequest(4).target, "/DeleteDocument/P/11111111-1/VENTA/202312230");

  // The deletion's own outcome and prefix reach the caller.
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "3"}, {"Description", "Sin libro"}})));
  server_.Enqueue(ScriptedResponse::Html("", 500));
  const auto refused = servicio_.EliminarLibro("T", "1-9", "VENTA", "MENSUAL", march);
  EXPECT_EQ(refused->Estado, "3");
  EXPECT_EQ(refused->Descripcion, "Sin libro");
  EXPECT_EQ(servicio_.EliminarLibro("T", "1-9", "VENTA", "MENSUAL", march)->Descripcion,
            "Error consultando servicio: HTTP 500: la respuesta no es XML");
}

}  // namespace
}  // namespace QuarloCliente::testing
