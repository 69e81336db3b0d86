#include <benchmark/benchmark.h>

#include <memory>
#include <quarlo/binding.hpp>
#include <string>

#include "bench_documents.hpp"

namespace {

using namespace QuarloCliente;

// A signature of the shape signers write (values are placeholders): what each DTE of a received
// envelope carries, and what the reader must keep.
constexpr std::string_view kSignature = R"(<Signature xmlns="http://www.w3.org/2000/09/xmldsig#">
<SignedInfo>
<CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>
<SignatureMethod Algorithm="http://www.w3.org/2000/09/xmldsig#rsa-sha1"/>
<Reference URI="#F33T1523">
<DigestMethod Algorithm="http://www.w3.org/2000/09/xmldsig#sha1"/>
<DigestValue>pXcvFzt4zUcHjT4/FufUbkPwuoc=</DigestValue>
</Reference>
</SignedInfo>
<SignatureValue>19pHPcFu7g8stkRx7iPSKR1CFBkbF8i7dT3U/tkQZE0uqSCdLj/jAkZiX9Vh0/AqrK+7KKLqRgtdeRN8Wt2NcEldd8N5le0MofBFLi/z6BQp+1Ev+ZB8KKnPlRJFARc9FxRXXohbk851tJYRgOJEwJ+OIUHgP1mkirDScGrDQ3Y=</SignatureValue>
<KeyInfo>
<KeyValue>
<RSAKeyValue>
<Modulus>KlSN3qJ5WlnJ3QNXBo2PItfD/nhzL3YGXvFgWwD80jOFNkRgIqWlLSvn/kKyFotzwcSmiuzwvywdrysNlbVXVI2YmdvOlBKdiuhNTltPSEQN7VIXXKHE1OXK2gQbHavRD06s7M6ILYyo3L7iv+xtiKcMbwlStPZ9qTrvmj+vXTA=</Modulus>
<Exponent>AQAB</Exponent>
</RSAKeyValue>
</KeyValue>
<X509Data>
<X509Certificate>JjsM0k1guZ7Mv4SBD7XtXMWxLSzdpBCrUPZN7ojgI8aUScfzqTzwxVpnXd8cg3Mth9ViVecLFQ2ebzz4Y7t/wc354JITnOeIBuL7q8cyvS0yLpZPqToQqOAVXmc6qWc3m/+0PQBLdu/YyLtghtN7KHN7hbRVAhug8gIQBi3a</X509Certificate>
</X509Data>
</KeyInfo>
</Signature>
)";

// The fixture factura: a stamped DTE of five lines with Spanish text, written as a signer would
// put it in an envelope (no declaration, its signature appended).
std::string SignedFactura() {
  const auto dte = bench::Factura(5);
  std::string xml = dte->ToXml(std::make_shared<BindingContext>(), false);
  return xml.insert(xml.rfind("</DTE>"), kSignature);
}

// An EnvioDTE of `count` copies of the fixture factura, rightly counted.
std::string EnvioOf(int count) {
  std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<EnvioDTE xmlns="http://www.sii.cl/SiiDte" version="1.0"><SetDTE ID="SetDoc">
<Caratula version="1.0"><RutEmisor>76543210-3</RutEmisor><RutEnvia>13579246-8</RutEnvia>
<RutReceptor>77214903-4</RutReceptor><FchResol>2014-08-22</FchResol><NroResol>80</NroResol>
<TmstFirmaEnv>2024-05-02T10:20:00</TmstFirmaEnv><SubTotDTE><TpoDTE>33</TpoDTE><NroDTE>)" +
                    std::to_string(count) + "</NroDTE></SubTotDTE></Caratula>\n";
  const std::string factura = SignedFactura();
  for (int i = 0; i < count; ++i) xml += factura;
  return xml + "</SetDTE></EnvioDTE>\n";
}

// Reading an envelope of the most DTEs the schema admits, each loaded strictly with its
// signature.
void BM_LeerEnvioDte2000(benchmark::State& state) {
  const std::string envio = EnvioOf(2000);
  for (auto _ : state) {
    auto read = LeerEnvioDte(envio);
    benchmark::DoNotOptimize(read);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(envio.size()));
  state.counters["bytes"] = static_cast<double>(envio.size());
}
BENCHMARK(BM_LeerEnvioDte2000)->Unit(benchmark::kMillisecond);

}  // namespace
