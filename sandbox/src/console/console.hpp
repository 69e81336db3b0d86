#pragma once

// The sandbox's web console: read-only pages under /consola/ that show a developer what their
// application sent and what the sandbox made of it. Protected by the sandbox's API keys through
// a login form and a session cookie; open, and saying so on every page, when there is no key.

#include <string>
#include <vector>

#include "console/answer.hpp"
#include "console/page_frame.hpp"
#include "console/request_ring.hpp"
#include "console/sessions.hpp"
#include "server/dispatcher.hpp"
#include "service/context.hpp"

namespace QuarloSandbox {

// One console request as the server hands it over.
struct ConsoleRequest {
  std::string method;
  std::string target;  // raw, with its query string
  std::string cookie;  // the Cookie header, "" when none
  std::string body;
};

// The name of the session cookie.
inline constexpr const char* kSessionCookie = "quarlo_consola";

// The console's pages over the store, the API keys, the ring of recent requests and the
// sessions. Safe to use from any thread.
class Console {
 public:
  Console(ServiceContext context, const ApiKeys& keys, const RequestRing& requests,
          SessionStore& sessions)
      : context_(context), keys_(keys), requests_(requests), sessions_(sessions) {}

  // The answer to a request for a console path, security headers included. Never throws: a
  // fault is a 500 page.
  ConsoleAnswer Answer(const ConsoleRequest& request);

 private:
  // The answer before the security headers; refusals thrown as SandboxError.
  ConsoleAnswer Route(const ConsoleRequest& request);
  // The pages behind the login, once the session is known good.
  ConsoleAnswer Page(const ConsoleRequest& request, const std::vector<std::string>& segments);
  // GET shows the login form, POST checks the key in it and opens a session.
  ConsoleAnswer Login(const ConsoleRequest& request);
  // Ends the session and forgets its cookie.
  ConsoleAnswer Logout(const ConsoleRequest& request);
  // Whether the request carries a live session (always true without API keys).
  bool SignedIn(const ConsoleRequest& request);
  // The frame of a page with that title and section.
  PageFrame Frame(std::string title, std::string section) const;

  ServiceContext context_;
  const ApiKeys& keys_;
  const RequestRing& requests_;
  SessionStore& sessions_;
};

}  // namespace QuarloSandbox
