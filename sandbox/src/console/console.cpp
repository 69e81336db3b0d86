#include "console/console.hpp"

#include "console/assets.hpp"
#include "console/browser_input.hpp"
#include "console/page.hpp"
#include "console/pages.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

constexpr const char* kHome = "/consola/";
constexpr const char* kLoginPath = "/consola/entrar";
// Only the console's own files load: no inline script or style runs, whatever a page shows, no
// form posts elsewhere and no other site frames a page.
constexpr const char* kContentPolicy =
    "default-src 'self'; img-src 'self' data:; form-action 'self'; frame-ancestors 'none'";

void AddSecurityHeaders(ConsoleAnswer& answer) {
  answer.headers.emplace_back("Content-Security-Policy", kContentPolicy);
  answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
  answer.headers.emplace_back("Cache-Control", "no-store");
  answer.headers.emplace_back("Referrer-Policy", "no-referrer");
}

// The cookie scoped to the console's paths, out of reach of scripts and of other sites' requests.
std::string SessionCookieHeader(const std::string& token, std::chrono::seconds maxAge) {
  return std::string(kSessionCookie) + "=" + token +
         "; Path=/consola/; Max-Age=" + std::to_string(maxAge.count()) +
         "; HttpOnly; SameSite=Strict";
}

ConsoleAnswer AssetAnswer(std::string_view file, const char* contentType) {
  return ConsoleAnswer{200, contentType, std::string(ConsoleAsset(file)), {}};
}

// The path's segments after /consola/, a trailing slash dropped.
std::vector<std::string> ConsoleSegments(const std::string& target) {
  std::vector<std::string> segments = SplitTarget(target).segments;
  if (!segments.empty() && segments.back().empty()) segments.pop_back();
  return segments;
}

std::string JoinedPath(const std::vector<std::string>& segments) {
  std::string path = "/consola";
  for (const auto& segment : segments) path += "/" + segment;
  return path;
}

ConsoleAnswer ErrorPage(const PageFrame& frame, int status, const std::string& description) {
  View view;
  view.set("estado", std::to_string(status));
  view.set("descripcion", description);
  return HtmlAnswer(status, RenderPage(frame, "error", std::move(view)));
}

ConsoleAnswer LoginForm(const PageFrame& frame, int status, const std::string& error) {
  View view;
  view.set("error", error);
  view.set("hay_error", !error.empty());
  return HtmlAnswer(status, RenderPage(frame, "entrar", std::move(view)));
}

}  // namespace

ConsoleAnswer Console::Answer(const ConsoleRequest& request) {
  ConsoleAnswer answer;
  try {
    answer = Route(request);
  } catch (const SandboxError& error) {
    answer = ErrorPage(Frame("Error", ""), error.status(), error.description());
  } catch (...) {
    try {
      answer = ErrorPage(Frame("Error", ""), 500, "error interno de la consola");
    } catch (...) {
      answer = ConsoleAnswer{500, "text/plain; charset=utf-8", "error interno de la consola", {}};
    }
  }
  AddSecurityHeaders(answer);
  return answer;
}

ConsoleAnswer Console::Route(const ConsoleRequest& request) {
  // The cookie's path is /consola/: without the slash the browser would not send it.
  if (request.target == "/consola" || request.target.starts_with("/consola?")) {
    return SeeOther(kHome);
  }
  const std::vector<std::string> segments = ConsoleSegments(request.target);
  const std::string first = segments.empty() ? std::string() : segments.front();
  if (segments.size() == 1 && request.method == "GET") {
    // The style sheet and the script hold nothing secret, and the login form needs the first.
    if (first == "estilo.css") return AssetAnswer("estilo.css", "text/css; charset=utf-8");
    if (first == "consola.js") return AssetAnswer("consola.js", "text/javascript; charset=utf-8");
  }
  if (segments.size() == 1 && first == "entrar") return Login(request);
  if (!SignedIn(request)) return SeeOther(kLoginPath);
  if (segments.size() == 1 && first == "salir") return Logout(request);
  if (request.method != "GET") {
    throw SandboxError(405, JoinedPath(segments) + " se usa con GET, no con " + request.method);
  }
  return Page(request, segments);
}

ConsoleAnswer Console::Page(const ConsoleRequest& request,
                            const std::vector<std::string>& segments) {
  const FormFields query = ParseForm(QueryOf(request.target));
  const std::string first = segments.empty() ? "documentos" : segments.front();
  const std::size_t count = std::max<std::size_t>(segments.size(), 1);
  Store& store = context_.store;
  if (first == "documentos" && count == 1) {
    return DocumentsPage(store, Frame("Documentos", "documentos"), query);
  }
  if (first == "documento" && count >= 5 && count <= 6) {
    const std::vector<std::string> key(segments.begin() + 1, segments.begin() + 5);
    if (count == 5) return DocumentPage(store, Frame("Documento", "documentos"), key);
    if (segments[5] == "timbre.png") return DocumentBarcode(store, key);
    if (segments[5] == "documento.pdf") return DocumentPdf(store, key);
  }
  if (first == "cafs" && count == 1) return CafsPage(store, Frame("CAFs", "cafs"), query);
  if (first == "libros" && count == 1) {
    return ReportsPage(store, Frame("Libros e informes de folios", "libros"), query);
  }
  if (first == "solicitudes" && count == 1) {
    return RequestsPage(requests_, Frame("Últimas solicitudes", "solicitudes"));
  }
  if (first == "solicitudes" && count == 2 && segments[1] == "filas") {
    return RequestRows(requests_);
  }
  throw SandboxError(404, "la consola no tiene la página " + JoinedPath(segments));
}

ConsoleAnswer Console::Login(const ConsoleRequest& request) {
  if (keys_.Open() || (request.method == "GET" && SignedIn(request))) return SeeOther(kHome);
  PageFrame frame = Frame("Entrar", "entrar");
  frame.session = false;
  if (request.method == "GET") return LoginForm(frame, 200, "");
  if (request.method != "POST") {
    throw SandboxError(405, "/consola/entrar se usa con GET o POST, no con " + request.method);
  }
  const std::string key = FieldOr(ParseForm(request.body), "llave");
  // The same check as the AuthKey header's, in constant time; the key is never written back.
  if (key.empty() || keys_.Refusal(key)) {
    return LoginForm(frame, 401, "La llave de API no es válida.");
  }
  ConsoleAnswer answer = SeeOther(kHome);
  answer.headers.emplace_back("Set-Cookie",
                              SessionCookieHeader(sessions_.Open(), sessions_.Lifetime()));
  return answer;
}

ConsoleAnswer Console::Logout(const ConsoleRequest& request) {
  if (request.method != "POST") {
    throw SandboxError(405, "/consola/salir se usa con POST, no con " + request.method);
  }
  if (const auto token = CookieValue(request.cookie, kSessionCookie)) sessions_.Close(*token);
  ConsoleAnswer answer = SeeOther(keys_.Open() ? kHome : kLoginPath);
  answer.headers.emplace_back("Set-Cookie", SessionCookieHeader("", std::chrono::seconds(0)));
  return answer;
}

bool Console::SignedIn(const ConsoleRequest& request) {
  if (keys_.Open()) return true;
  const auto token = CookieValue(request.cookie, kSessionCookie);
  return token && sessions_.Valid(*token);
}

PageFrame Console::Frame(std::string title, std::string section) const {
  return PageFrame{std::move(title), std::move(section), keys_.Open(), !keys_.Open()};
}

}  // namespace QuarloSandbox
