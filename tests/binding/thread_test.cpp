#include <gtest/gtest.h>

#include <array>
#include <latch>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace QuarloCliente {
namespace {

constexpr std::string_view kSiiDte = "http://www.sii.cl/SiiDte";

// The prefixes the element names of a text are written with ("" for none).
std::set<std::string> ElementPrefixes(const std::string& xml) {
  std::set<std::string> prefixes;
  for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
    const char next = at + 1 < xml.size() ? xml[at + 1] : '\0';
    if (next == '/' || next == '?' || next == '!') continue;
    const std::size_t end = xml.find_first_of(" />", at);
    const std::string name = xml.substr(at + 1, end - at - 1);
    const std::size_t colon = name.find(':');
    prefixes.insert(colon == std::string::npos ? "" : name.substr(0, colon));
  }
  return prefixes;
}

// True when every element carries one and the same prefix (or none), declared for the SII
// namespace on the root: what a serialisation from one consistent snapshot of the map gives.
bool ConsistentlyPrefixed(const std::string& xml) {
  const auto prefixes = ElementPrefixes(xml);
  if (prefixes.size() != 1) return false;
  const std::string& prefix = *prefixes.begin();
  const std::string declaration = prefix.empty()
                                      ? "xmlns=\"" + std::string(kSiiDte) + "\""
                                      : "xmlns:" + prefix + "=\"" + std::string(kSiiDte) + "\"";
  return xml.find(declaration) != std::string::npos;
}

std::shared_ptr<DteDocumentBinding> Factura(int folio) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  doc->SetID("F" + std::to_string(folio));
  doc->Encabezado()->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica).SetFolio(folio);
  doc->Encabezado()->Emisor()->SetRUTEmisor("76543210-3");
  doc->AgregarDetalle()->SetNroLinDet(1).SetNmbItem("Servicio");
  return dte;
}

class DefaultContextGuard {
 public:
  DefaultContextGuard() { Reset(); }
  ~DefaultContextGuard() { Reset(); }

 private:
  static void Reset() {
    DefaultBindingContext()->ClearNamespaces();
    DefaultBindingContext()->SetAllOptions(false);
  }
};

TEST(BindingThreadTest, SerialisingThreadsSeeConsistentSnapshotsWhileTheContextChanges) {
  DefaultContextGuard guard;
  constexpr std::size_t kSerialisers = 8;
  constexpr int kRounds = 150;
  constexpr int kChanges = 1500;
  const std::array<BindingOption, 5> options = {
      BindingOption::AllowUnknownElements, BindingOption::AllowOutOfOrderElements,
      BindingOption::TrimValueWhitespace, BindingOption::DeferValueValidation,
      BindingOption::AllowUnknownAttributes};

  std::vector<std::shared_ptr<DteDocumentBinding>> documents;
  for (std::size_t i = 0; i < kSerialisers; ++i) {
    documents.push_back(Factura(100 + static_cast<int>(i)));
  }
  std::vector<int> inconsistent(kSerialisers, 0);
  std::vector<int> failed_loads(kSerialisers, 0);
  std::latch start(static_cast<std::ptrdiff_t>(kSerialisers) + 1);

  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < kSerialisers; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      auto copy = std::make_shared<DteDocumentBinding>();
      for (int round = 0; round < kRounds; ++round) {
        const Bytes bytes = documents[i]->Serialize(DefaultBindingContext(), true, 2, 0, 2);
        const std::string xml(bytes.begin(), bytes.end());
        if (!ConsistentlyPrefixed(xml)) ++inconsistent[i];
        try {
          copy->Load(xml, DefaultBindingContext());
        } catch (const Error&) {
          ++failed_loads[i];
        }
      }
    });
  }
  threads.emplace_back([&] {
    start.arrive_and_wait();
    const auto context = DefaultBindingContext();
    for (int change = 0; change < kChanges; ++change) {
      if (change % 7 == 6) {
        context->UnregisterNamespace(kSiiDte);
      } else {
        context->RegisterNamespace(kSiiDte, "P" + std::to_string(change % 5));
      }
      context->SetOption(options[static_cast<std::size_t>(change) % options.size()],
                         change % 2 == 0);
      if (change % 11 == 0) context->SetAllOptions(false);
    }
  });
  for (auto& thread : threads) thread.join();

  for (std::size_t i = 0; i < kSerialisers; ++i) {
    EXPECT_EQ(inconsistent[i], 0) << "hilo " << i;
    EXPECT_EQ(failed_loads[i], 0) << "hilo " << i;
  }
  // The context still works as a whole once the threads are done.
  DefaultBindingContext()->RegisterNamespace(kSiiDte, "ABCXYZ");
  EXPECT_TRUE(ConsistentlyPrefixed(documents[0]->ToXml(DefaultBindingContext())));
  EXPECT_NE(documents[0]->ToXml(DefaultBindingContext()).find("<ABCXYZ:DTE"), std::string::npos);
}

}  // namespace
}  // namespace QuarloCliente
