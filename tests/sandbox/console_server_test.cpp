// The web console under /consola/: who gets in, what every page may and may not show, and how
// the documents page pages and filters. Run against an in-process sandbox over real HTTP.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "console/request_ring.hpp"
#include "console/sessions.hpp"
#include "image_checks.hpp"
#include "server_harness.hpp"
#include "service/search_text.hpp"
#include "support/attack_clients.hpp"

namespace QuarloSandbox::testing {
namespace {

namespace raw = QuarloCliente::testing;

constexpr const char* kScriptName = "<script>alert(1)</script> Ltda";

// A sandbox on a free port whose store the test can fill directly.
class ConsoleSandbox {
 public:
  explicit ConsoleSandbox(std::vector<std::string> keys = {kApiKey})
      : server_(ServiceContext{store_, TestAuthority()}, ApiKeys(std::move(keys))) {
    port_ = server_.Bind("127.0.0.1", 0);
    server_.Start();
  }

  httplib::Result Get(const std::string& path, const std::string& cookie = "") const {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    return client.Get(path, headers);
  }
  httplib::Result PostForm(const std::string& path, const std::string& body,
                           const std::string& cookie = "") const {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    return client.Post(path, headers, body, "application/x-www-form-urlencoded");
  }
  // A request of the protocol, with the API key.
  httplib::Result Protocol(const std::string& path, const std::string& body = "") const {
    httplib::Client client("127.0.0.1", port_);
    const httplib::Headers headers{{"AuthKey", kApiKey}};
    if (body.empty()) return client.Get(path, headers);
    return client.Post(path, headers, body, "application/xml; charset=utf-8");
  }
  // Logs in with the key and returns the Cookie header that carries the session.
  std::string Login() const {
    const auto answer = PostForm("/consola/entrar", std::string("llave=") + kApiKey);
    if (!answer || answer->status != 303) throw std::runtime_error("no se pudo entrar");
    const std::string set = answer->get_header_value("Set-Cookie");
    return set.substr(0, set.find(';'));
  }
  Store& store() { return store_; }
  int Port() const { return port_; }

 private:
  Store store_{""};
  SandboxServer server_;
  int port_ = 0;
};

// Stores `count` facturas of the issuer straight into the database, folio 1 received first.
void InsertFacturas(Store& store, int count, const std::string& tipo = "33",
                    const std::string& issuerName = "Emisor de prueba") {
  store.Write([&](StoreTx& tx) {
    for (int folio = 1; folio <= count; ++folio) {
      DocumentRow row;
      row.key = DocumentKey{"T", kIssuer, tipo, folio};
      row.issuerName = issuerName;
      row.receiverRut = kReceiver;
      row.receiverName = "Receptor " + std::to_string(folio);
      row.issueDate =
          "2024-05-" + std::string(folio % 28 < 9 ? "0" : "") + std::to_string(folio % 28 + 1);
      row.total = std::to_string(1000 * folio);
      row.searchText = FoldForSearch(row.issuerName + " " + row.receiverName);
      row.xml = "<DTE/>";
      row.receivedAt = "2024-05-02T10:" + std::string(folio / 60 < 10 ? "0" : "") +
                       std::to_string(folio / 60) + ":" + (folio % 60 < 10 ? "0" : "") +
                       std::to_string(folio % 60);
      row.trackId = tx.NewTrackId("T", DocumentKind::Dte, row.receivedAt);
      tx.InsertDocument(row);
    }
  });
}

// A protocol answer read as the harness reads one.
Reply ReplyOf(const httplib::Result& result) {
  return Reply{result->status, result->body};
}

// The folios of the documents a list page links to, in the order shown.
std::vector<long> ListedFolios(const std::string& page) {
  std::vector<long> folios;
  const std::regex link("class=\"folio\" href=\"[^\"]*\">([0-9]+)</a>");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), link); it != std::sregex_iterator();
       ++it) {
    folios.push_back(std::stol((*it)[1]));
  }
  return folios;
}

// A factura whose receiver's name holds a script element, as its XML escapes it.
std::string FacturaWithScriptName(long folio) {
  std::string xml = FixtureWithFolio("factura_33.xml", folio);
  xml = std::regex_replace(xml, std::regex("<RznSocRecep>[^<]*</RznSocRecep>"),
                           "<RznSocRecep>&lt;script&gt;alert(1)&lt;/script&gt; Ltda</RznSocRecep>");
  xml = std::regex_replace(xml, std::regex("encoding=\"UTF-8\""), "encoding=\"ISO-8859-1\"");
  return qd::EncodeBase64(qd::Utf8ToLatin1(xml));
}

TEST(Console, LogsInOnlyWithAnApiKeyAndKeepsTheSessionInAnHttpOnlyStrictCookie) {
  const ConsoleSandbox sandbox;
  const auto without = sandbox.Get("/consola/documentos");
  ASSERT_TRUE(without);
  EXPECT_EQ(without->status, 303);
  EXPECT_EQ(without->get_header_value("Location"), "/consola/entrar");
  // Without the trailing slash the cookie, scoped to /consola/, would not be sent.
  EXPECT_EQ(sandbox.Get("/consola")->get_header_value("Location"), "/consola/");
  EXPECT_EQ(sandbox.Get("/consola/entrar")->status, 200);

  const auto wrong = sandbox.PostForm("/consola/entrar", "llave=otra-llave-equivocada");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 401);
  EXPECT_FALSE(wrong->has_header("Set-Cookie"));
  EXPECT_NE(wrong->body.find("no es válida"), std::string::npos);
  EXPECT_EQ(wrong->body.find("otra-llave-equivocada"), std::string::npos);
  EXPECT_EQ(sandbox.PostForm("/consola/entrar", "llave=")->status, 401);
  // The key as an AuthKey header does not open the console: only the form does.
  EXPECT_EQ(sandbox.Protocol("/consola/documentos")->status, 303);

  const auto right = sandbox.PostForm("/consola/entrar", std::string("llave=") + kApiKey);
  ASSERT_TRUE(right);
  EXPECT_EQ(right->status, 303);
  EXPECT_EQ(right->get_header_value("Location"), "/consola/");
  const std::string cookie = right->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("; HttpOnly"), std::string::npos) << cookie;
  EXPECT_NE(cookie.find("; SameSite=Strict"), std::string::npos) << cookie;
  EXPECT_NE(cookie.find("; Path=/consola/"), std::string::npos) << cookie;
  EXPECT_TRUE(std::regex_search(cookie, std::regex("^quarlo_consola=[0-9a-f]{64};"))) << cookie;
  EXPECT_EQ(cookie.find(kApiKey), std::string::npos);

  const std::string session = cookie.substr(0, cookie.find(';'));
  EXPECT_EQ(sandbox.Get("/consola/documentos", session)->status, 200);
  EXPECT_EQ(sandbox.Get("/consola/entrar", session)->status, 303);
  EXPECT_EQ(sandbox.Get("/consola/documentos", "quarlo_consola=" + std::string(64, 'a'))->status,
            303);
  // Another login is another session; ending one leaves the other.
  const std::string other = sandbox.Login();
  EXPECT_NE(other, session);
  EXPECT_EQ(sandbox.Get("/consola/salir", session)->status, 405);
  const auto logout = sandbox.PostForm("/consola/salir", "", session);
  EXPECT_EQ(logout->status, 303);
  EXPECT_NE(logout->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
  EXPECT_EQ(sandbox.Get("/consola/documentos", session)->status, 303);
  EXPECT_EQ(sandbox.Get("/consola/documentos", other)->status, 200);
}

TEST(Console, RefusesALoginBodyOver4KiBWithoutReadingIt) {
  const ConsoleSandbox sandbox;
  // The head alone: the refusal comes before a byte of the body is sent.
  const std::string head = raw::RawRequest(
      "POST", "/consola/entrar",
      {{"Content-Type", "application/x-www-form-urlencoded"}, {"Content-Length", "5120"}});
  const raw::RawReply byLength = raw::SendWhileWatching(sandbox.Port(), head);
  EXPECT_EQ(byLength.status, 413) << byLength;
  // Chunked, it is refused once past the cap, not at the end.
  const std::string chunkedHead =
      raw::RawRequest("POST", "/consola/entrar", {{"Transfer-Encoding", "chunked"}});
  const raw::RawReply chunked =
      raw::SendWhileWatching(sandbox.Port(), chunkedHead, raw::ChunkedZeros(std::size_t{1} << 30));
  EXPECT_EQ(chunked.status, 413) << chunked;
  EXPECT_LT(chunked.sent, std::size_t{64} << 20);
  // The protocol's own cap is untouched: a 5 KiB request body is read.
  EXPECT_EQ(sandbox.Protocol("/UploadCaf", std::string(5120, ' ') + "<x/>")->status, 400);
}

TEST(Console, ShowsEveryNameAndFilterAsTextAndNeverAKeyOrACafsPrivateKey) {
  ConsoleSandbox sandbox;
  const Caf caf = IssueTestCaf(kIssuer, "Emisor de prueba", 33, 1, 100, TestAuthority());
  ASSERT_NE(caf.xml.find("RSASK"), std::string::npos);
  ASSERT_EQ(sandbox.Protocol("/UploadCaf", UploadBody(caf.xml))->status, 200);
  const auto sent = sandbox.Protocol("/SendDTEDocument", SendBody(FacturaWithScriptName(7)));
  ASSERT_EQ(sent->status, 200) << sent->body;
  ASSERT_EQ(sandbox.Protocol("/SendDTEDocument", SendBody(FacturaContent(8)))->status, 200);
  const std::string session = sandbox.Login();

  std::vector<std::string> pages;
  for (const std::string path :
       {"/consola/", "/consola/documentos?texto=script", "/consola/documento/T/76543210-3/33/7",
        "/consola/cafs", "/consola/libros", "/consola/solicitudes", "/consola/solicitudes/filas",
        "/consola/no-existe",
        "/consola/documentos?texto=%3Cscript%3Ealert(2)%3C/script%3E%22&desde=%3Cb%3E"}) {
    const auto page = sandbox.Get(path, session);
    ASSERT_TRUE(page) << path;
    EXPECT_EQ(page->get_header_value("Content-Security-Policy").find("default-src 'self'"), 0u);
    EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
    EXPECT_EQ(page->body.find("RSASK"), std::string::npos) << path;
    EXPECT_EQ(page->body.find(kApiKey), std::string::npos) << path;
    EXPECT_EQ(page->body.find("<script>alert"), std::string::npos) << path;
    EXPECT_EQ(page->body.find("<b>"), std::string::npos) << path;
    pages.push_back(page->body);
  }
  const std::string escaped = "&lt;script&gt;alert(1)&lt;/script&gt; Ltda";
  EXPECT_NE(pages[0].find(escaped), std::string::npos);
  EXPECT_EQ(ListedFolios(pages[1]), std::vector<long>{7});
  EXPECT_NE(pages[2].find(escaped), std::string::npos);
  EXPECT_NE(pages[2].find("&lt;RznSocRecep&gt;&amp;lt;script"), std::string::npos);
  // The CAF's range 1..100 with two folios used.
  EXPECT_NE(pages[3].find("<td class=\"usados\">2</td><td class=\"libres\">98</td>"),
            std::string::npos);
  EXPECT_NE(pages[3].find("class=\"usado p2\""), std::string::npos);
  EXPECT_NE(pages[7].find("la consola no tiene la página /consola/no-existe"), std::string::npos);
  // A bad filter is shown back as text, with why the search refused it.
  EXPECT_NE(pages[8].find("value=\"&lt;script&gt;alert(2)&lt;/script&gt;&quot;\""),
            std::string::npos);
  EXPECT_NE(pages[8].find("value=\"&lt;b&gt;\""), std::string::npos);
  EXPECT_NE(pages[8].find("el desde &apos;&lt;b&gt;&apos; no es una fecha"), std::string::npos);
  EXPECT_EQ(sandbox.Get("/consola/no-existe", session)->status, 404);
  EXPECT_EQ(sandbox.Get("/consola/documentos?desde=ayer", session)->status, 400);
}

TEST(Console, PagesTheDocumentsFiftyAtATimeNewestFirst) {
  ConsoleSandbox sandbox;
  InsertFacturas(sandbox.store(), 120);
  const std::string session = sandbox.Login();

  const auto first = sandbox.Get("/consola/documentos", session);
  ASSERT_EQ(first->status, 200);
  std::vector<long> expected;
  for (long folio = 120; folio > 70; --folio) expected.push_back(folio);
  EXPECT_EQ(ListedFolios(first->body), expected);
  EXPECT_NE(first->body.find("120 documentos · filas 1 a 50 · página 1 de 3"), std::string::npos);

  const auto second = sandbox.Get("/consola/documentos?pagina=2", session);
  expected.clear();
  for (long folio = 70; folio > 20; --folio) expected.push_back(folio);
  EXPECT_EQ(ListedFolios(second->body), expected);
  EXPECT_NE(second->body.find("filas 51 a 100"), std::string::npos);
  EXPECT_NE(second->body.find("pagina=3"), std::string::npos);
  EXPECT_NE(second->body.find("pagina=1"), std::string::npos);

  const auto last = sandbox.Get("/consola/documentos?pagina=3", session);
  EXPECT_EQ(ListedFolios(last->body).size(), 20u);
  EXPECT_EQ(last->body.find("rel=\"next\""), std::string::npos);

  const auto past = sandbox.Get("/consola/documentos?pagina=9", session);
  EXPECT_EQ(past->status, 200);
  EXPECT_TRUE(ListedFolios(past->body).empty());
  EXPECT_NE(past->body.find("Ningún documento en esta página"), std::string::npos);
  EXPECT_EQ(sandbox.Get("/consola/documentos?pagina=0", session)->status, 400);

  // The filters narrow the count that the paging follows; the text ignores accents and case.
  const auto filtered = sandbox.Get(
      "/consola/documentos?tipo=33&desde=2024-05-01&hasta=2024-05-02&texto=RECEPTOR", session);
  std::vector<long> onFirstDays;
  for (long folio = 120; folio >= 1; --folio) {
    if (folio % 28 <= 1) onFirstDays.push_back(folio);
  }
  EXPECT_EQ(ListedFolios(filtered->body), onFirstDays);
  EXPECT_NE(filtered->body.find(">" + std::to_string(onFirstDays.size()) + " documentos"),
            std::string::npos);
  EXPECT_TRUE(ListedFolios(sandbox.Get("/consola/documentos?tipo=39", session)->body).empty());
  EXPECT_TRUE(ListedFolios(sandbox.Get("/consola/documentos?ambiente=P", session)->body).empty());
}

TEST(Console, ShowsADocumentWithItsStampImageAndPdf) {
  ConsoleSandbox sandbox;
  const Caf caf = IssueTestCaf(kIssuer, "Emisor de prueba", 33, 1, 10, TestAuthority());
  ASSERT_EQ(sandbox.Protocol("/UploadCaf", UploadBody(caf.xml))->status, 200);
  const auto sent = sandbox.Protocol("/SendDTEDocument", SendBody(FacturaContent(3)));
  ASSERT_EQ(sent->status, 200);
  const std::string ted = ReplyOf(sent).IsoField("TED");
  ASSERT_EQ(sandbox.Protocol("/FiscalStatus/T/E/76543210-3/33/3")->status, 200);
  const std::string session = sandbox.Login();

  const auto page = sandbox.Get("/consola/documento/T/76543210-3/33/3", session);
  ASSERT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("src=\"/consola/documento/T/76543210-3/33/3/timbre.png\""),
            std::string::npos);
  EXPECT_NE(page->body.find("href=\"/consola/documento/T/76543210-3/33/3/documento.pdf\""),
            std::string::npos);
  // The tracking moved one step with the status query: two states on the timeline.
  EXPECT_NE(page->body.find("<span class=\"codigo\">REC</span>"), std::string::npos);
  EXPECT_NE(page->body.find("<span class=\"codigo\">SOK</span>"), std::string::npos);
  // The XML is indented for reading.
  EXPECT_NE(page->body.find("\n  &lt;Documento"), std::string::npos);

  const auto png = sandbox.Get("/consola/documento/T/76543210-3/33/3/timbre.png", session);
  ASSERT_EQ(png->status, 200);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  const auto image =
      checks::ReadPngWithLibpng(QuarloCliente::Bytes(png->body.begin(), png->body.end()));
  ASSERT_TRUE(image);
  EXPECT_EQ(checks::ReadPdf417(*image), qd::Utf8ToLatin1(ted));

  const auto pdf = sandbox.Get("/consola/documento/T/76543210-3/33/3/documento.pdf", session);
  ASSERT_EQ(pdf->status, 200);
  EXPECT_EQ(pdf->get_header_value("Content-Type"), "application/pdf");
  EXPECT_EQ(pdf->body.substr(0, 5), "%PDF-");
  const auto protocolPdf = sandbox.Protocol("/RecoverPDF_V2/T/E/76543210-3/33/3");
  EXPECT_EQ(ReplyOf(protocolPdf).Field("Data"), Base64Of(pdf->body));

  EXPECT_EQ(sandbox.Get("/consola/documento/T/76543210-3/33/4", session)->status, 404);
  EXPECT_EQ(sandbox.Get("/consola/documento/T/76543210-3/33/4/timbre.png", session)->status, 404);
  EXPECT_EQ(sandbox.Get("/consola/documento/T/no-es-rut/33/3", session)->status, 400);
  EXPECT_EQ(sandbox.Get("/consola/documento/T/76543210-3/33/3/otra", session)->status, 404);
  // Without a session not even the image is served.
  EXPECT_EQ(sandbox.Get("/consola/documento/T/76543210-3/33/3/timbre.png")->status, 303);
}

TEST(Console, ListsBooksByPeriodAndOpensThemWithoutAStamp) {
  const ConsoleSandbox sandbox;
  const std::string body = SalesBookBody();
  ASSERT_EQ(sandbox.Protocol("/SendLibroCompraVenta", body)->status, 200);
  const std::string session = sandbox.Login();
  const std::string link = "/consola/documento/T/76543210-3/VENTA/202405130";

  const auto may = sandbox.Get("/consola/libros?periodo=2024-05", session);
  ASSERT_EQ(may->status, 200);
  EXPECT_NE(may->body.find("href=\"" + link + "\">Libro de compra/venta</a>"), std::string::npos);
  EXPECT_NE(sandbox.Get("/consola/libros", session)->body.find(link), std::string::npos);
  const auto june = sandbox.Get("/consola/libros?periodo=2024-06", session);
  EXPECT_EQ(june->body.find(link), std::string::npos);
  EXPECT_NE(june->body.find("para 2024-06"), std::string::npos);
  EXPECT_EQ(sandbox.Get("/consola/libros?periodo=mayo", session)->status, 400);

  const auto page = sandbox.Get(link, session);
  ASSERT_EQ(page->status, 200);
  EXPECT_EQ(page->body.find("timbre.png"), std::string::npos);
  EXPECT_NE(page->body.find("&lt;TipoOperacion&gt;VENTA"), std::string::npos);
  EXPECT_EQ(sandbox.Get(link + "/timbre.png", session)->status, 422);
  EXPECT_EQ(sandbox.Get(link + "/documento.pdf", session)->status, 422);
}

TEST(Console, ListsTheProtocolsRequestsButNotItsOwn) {
  ConsoleSandbox sandbox;
  const std::string session = sandbox.Login();
  EXPECT_EQ(sandbox.Protocol("/GetFactorings")->status, 200);
  EXPECT_EQ(sandbox.Protocol("/FiscalStatus/T/E/1-9/33/1")->status, 404);
  EXPECT_EQ(sandbox.Get("/consola/cafs", session)->status, 200);
  // Refused on its head, before a worker sees it: listed too, for a wrong key is what a
  // developer most needs to see.
  httplib::Client client("127.0.0.1", sandbox.Port());
  EXPECT_EQ(client.Get("/GetFactorings", httplib::Headers{{"AuthKey", "otra"}})->status, 401);
  EXPECT_EQ(
      client.Get("/consola/documentos?x", httplib::Headers{{"Transfer-Encoding", "gzip"}})->status,
      501);
  const auto rows = sandbox.Get("/consola/solicitudes/filas", session);
  ASSERT_EQ(rows->status, 200);
  const std::regex row(
      "<tr[^>]*><td>([0-9]+)</td><td>[^<]*</td><td>([A-Z]+)</td><td>([^<]*)</td>"
      "<td>([0-9]+)</td>");
  std::vector<std::string> seen;
  for (auto it = std::sregex_iterator(rows->body.begin(), rows->body.end(), row);
       it != std::sregex_iterator(); ++it) {
    seen.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str() + " " +
                   (*it)[4].str());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"3 GET GetFactorings 401", "2 GET FiscalStatus 404",
                                            "1 GET GetFactorings 200"}));
  // The page carries the same rows and the script that refreshes them.
  const auto page = sandbox.Get("/consola/solicitudes", session);
  EXPECT_NE(page->body.find("data-fuente=\"/consola/solicitudes/filas\""), std::string::npos);
  EXPECT_NE(page->body.find("<td>GetFactorings</td>"), std::string::npos);
  const auto script = sandbox.Get("/consola/consola.js");
  EXPECT_EQ(script->status, 200);
  EXPECT_NE(script->body.find("setInterval"), std::string::npos);
}

TEST(Console, IsOpenWithoutAnApiKeyAndSaysSoOnEveryPage) {
  const ConsoleSandbox open(std::vector<std::string>{});
  const std::string banner = "Sandbox sin llave de API: la consola está abierta";
  for (const std::string path : {"/consola/", "/consola/cafs", "/consola/libros",
                                 "/consola/solicitudes", "/consola/no-existe"}) {
    const auto page = open.Get(path);
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find(banner), std::string::npos) << path;
  }
  EXPECT_EQ(open.Get("/consola/entrar")->get_header_value("Location"), "/consola/");

  const ConsoleSandbox locked;
  const std::string session = locked.Login();
  EXPECT_EQ(locked.Get("/consola/", session)->body.find(banner), std::string::npos);
  EXPECT_EQ(locked.Get("/consola/entrar")->body.find(banner), std::string::npos);
}

TEST(ConsoleParts, SessionsExpireAndTheRingKeepsTheNewest) {
  SessionStore sessions(std::chrono::seconds(3600));
  const std::string token = sessions.Open();
  EXPECT_EQ(token.size(), 64u);
  EXPECT_TRUE(sessions.Valid(token));
  EXPECT_NE(sessions.Open(), token);
  sessions.Close(token);
  EXPECT_FALSE(sessions.Valid(token));
  SessionStore expired(std::chrono::seconds(0));
  EXPECT_FALSE(expired.Valid(expired.Open()));

  RequestRing ring(3);
  for (int i = 1; i <= 5; ++i) {
    ring.Record("GET", "Op" + std::to_string(i), 200, std::chrono::milliseconds(i));
  }
  const auto kept = ring.Newest();
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0].operation, "Op5");
  EXPECT_EQ(kept[0].number, 5u);
  EXPECT_EQ(kept[0].milliseconds, 5);
  EXPECT_EQ(kept[2].operation, "Op3");
}

}  // namespace
}  // namespace QuarloSandbox::testing
