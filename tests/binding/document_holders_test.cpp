#include <gtest/gtest.h>

#include <quarlo/documentos.hpp>

namespace QuarloCliente {
namespace {

TEST(DocumentHolders, GetTipoTellsTheConcreteHolderThroughTheBase) {
  const ResultadoRecuperarDoc nuevo;
  EXPECT_EQ(nuevo.ResultadoServicio->Estado, "0");
  ASSERT_NE(nuevo.Data, nullptr);
  EXPECT_EQ(nuevo.Data->GetTipo(), "");

  const std::shared_ptr<ResultadoDocBase> dte = std::make_shared<ResultadoDocDTE>();
  const std::shared_ptr<ResultadoDocBase> boleta = std::make_shared<ResultadoDocBoleta>();
  EXPECT_EQ(dte->GetTipo(), "DTE");
  EXPECT_EQ(boleta->GetTipo(), "BOLETA");
}

TEST(DocumentHolders, HoldersStartWithTheirOwnEmptyDocument) {
  const ResultadoDocDTE a;
  const ResultadoDocDTE b;
  ASSERT_NE(a.Documento, nullptr);
  EXPECT_NE(a.Documento, b.Documento);
  EXPECT_EQ(a.Documento->Documento(), nullptr);
  const ResultadoDocBoleta boleta;
  ASSERT_NE(boleta.Documento, nullptr);
  EXPECT_NE(boleta.Documento->Documento(), nullptr);
}

}  // namespace
}  // namespace QuarloCliente
