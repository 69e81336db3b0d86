// The sandbox under attack. Starts quarlo-sandbox (the binary of this build) with an API key on a
// free port, and for each attack of tests/support/attack_clients runs the attack while a valid
// request (a /FiscalStatus GET with the right key) goes every ~100 ms. Prints one line per
// attack: what the attacker got, the sandbox's peak resident memory during the attack (VmRSS
// sampled every 20 ms) and its high-water mark so far (VmHWM), and the valid request's latency
// (p50 and max) during the attack. The targets: under 100 MB, and a valid answer within a second.
//
//   build/default/bench/quarlo_attack [name-part]   (only the attacks whose name holds it)

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "attack_clients.hpp"
#include "integration/sandbox_process.hpp"

namespace {

using namespace std::chrono_literals;
using namespace QuarloCliente::testing;
using Clock = std::chrono::steady_clock;

const std::string kKey = "llave-de-ataque";
const std::string kValid =
    RawRequest("GET", "/FiscalStatus/T/E/76543210-3/33/1", {{"AuthKey", kKey}});

// A field of /proc/<pid>/status in kB, 0 when it cannot be read.
long StatusKilobytes(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return 0;
}

// Samples the sandbox's VmRSS until destroyed; the largest sample.
class MemorySampler {
 public:
  explicit MemorySampler(pid_t pid)
      : thread_([this, pid] {
          while (!stop_) {
            peak_ = std::max(peak_.load(), StatusKilobytes(pid, "VmRSS"));
            std::this_thread::sleep_for(20ms);
          }
        }) {}
  ~MemorySampler() {
    stop_ = true;
    thread_.join();
  }
  long PeakKilobytes() const { return peak_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<long> peak_{0};
  std::thread thread_;
};

// Sends the valid request every ~100 ms on a new connection and keeps each latency.
class ValidRequests {
 public:
  explicit ValidRequests(int port)
      : thread_([this, port] {
          while (!stop_) {
            const auto start = Clock::now();
            RawReply reply;
            try {
              reply = Exchange(port, kValid, 10s);
            } catch (const std::exception& error) {
              reply.error = error.what();
            }
            const auto took = Clock::now() - start;
            {
              const std::lock_guard lock(mutex_);
              latencies_.push_back(std::chrono::duration<double, std::milli>(took).count());
              if (reply.status != 404) ++failed_;
            }
            std::this_thread::sleep_for(std::max<Clock::duration>(0ms, 100ms - took));
          }
        }) {}
  ~ValidRequests() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // "n=12 p50=0.4 ms max=1.2 ms" and how many were not answered as expected.
  std::string Summary() {
    Stop();
    std::vector<double> sorted = latencies_;
    if (sorted.empty()) return "n=0";
    std::sort(sorted.begin(), sorted.end());
    char text[160];
    std::snprintf(text, sizeof text, "n=%zu p50=%.1f ms max=%.1f ms fallidas=%d", sorted.size(),
                  sorted[sorted.size() / 2], sorted.back(), failed_);
    return text;
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<double> latencies_;
  int failed_ = 0;
  std::thread thread_;
};

// "413 y cerrada, enviados 35840 KiB: la solicitud supera..." (0 when no answer came).
std::string Outcome(const RawReply& reply) {
  std::string text = std::to_string(reply.status) + (reply.closed ? " y cerrada" : "") +
                     ", enviados " + std::to_string(reply.sent / 1024) + " KiB";
  const auto start = reply.body.find("<Description>");
  const auto end = reply.body.find("</Description>");
  if (start != std::string::npos && end != std::string::npos && end > start + 13) {
    std::string description =
        reply.body.substr(start + 13, std::min<std::size_t>(end - start - 13, 60));
    // An echoed control character must not break the table's line.
    for (char& c : description) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    text += ": " + description;
  }
  return reply.error.empty() ? text : text + " (" + reply.error + ")";
}

// N slow clients for at most `length`; how many the sandbox dropped, and when the last one.
std::string Trickle(int port, std::size_t count, std::chrono::milliseconds interval,
                    const std::string& request, std::size_t atOnce, std::chrono::seconds length,
                    bool readsAnswers = true) {
  SlowClients clients(port, count, interval, request, atOnce, readsAnswers);
  const std::size_t dropped = clients.WaitUntilDropped(length);
  const auto longest = std::chrono::duration<double>(clients.LongestLife()).count();
  const std::size_t open = clients.Open();
  clients.Stop();
  char text[160];
  std::snprintf(text, sizeof text,
                "%zu/%zu cortadas (la última a los %.1f s), %zu abiertas a los %lld s", dropped,
                count, longest, open, static_cast<long long>(length.count()));
  return text;
}

struct Attack {
  std::string name;
  std::function<std::string(int port, QuarloCliente::integration::SandboxProcess&)> run;
};

std::vector<Attack> Attacks() {
  const std::string slowPost =
      RawRequest("POST", "/SendDTEDocument", {{"AuthKey", kKey}}, std::string(100000, 'x'));
  return {
      {"chunked 2 GiB sin llave",
       [](int port, auto&) {
         return Outcome(ChunkedBody(port, "/SendDTEDocument", std::size_t{2} << 30, std::nullopt));
       }},
      {"gzip 1 MiB -> 1 GiB sin llave",
       [](int port, auto&) {
         static const std::string bomb = GzipBomb(std::size_t{1} << 30);
         return Outcome(GzipBody(port, "/SendDTEDocument", bomb, std::nullopt));
       }},
      {"gzip 1 MiB -> 1 GiB con llave",
       [](int port, auto&) {
         static const std::string bomb = GzipBomb(std::size_t{1} << 30);
         return Outcome(GzipBody(port, "/SendDTEDocument", bomb, kKey));
       }},
      {"chunked 40 MiB con llave",
       [](int port, auto&) {
         return Outcome(ChunkedBody(port, "/SendDTEDocument", std::size_t{40} << 20, kKey));
       }},
      {"cabeceras lentas 200 x 2 s",
       [](int port, auto&) { return Trickle(port, 200, 2000ms, kValid, 1, 12s); }},
      {"cabeceras lentas 200 x 0.3 s",
       [](int port, auto&) { return Trickle(port, 200, 300ms, kValid, 1, 12s); }},
      {"cuerpo lento 100 x 0.3 s",
       [slowPost](int port, auto&) {
         return Trickle(port, 100, 300ms, slowPost, slowPost.size() - 100000, 12s);
       }},
      {"lectores lentos 20 x 900 respuestas de 8 kB",
       [](int port, auto&) {
         // Pipelined requests for an unknown path of 8000 letters, which the 404 echoes: their
         // answers fill the socket buffers of a client that never reads, until the sandbox
         // gives up on it.
         const std::string one =
             RawRequest("GET", "/" + std::string(8000, 'x'), {{"AuthKey", kKey}});
         std::string pipelined;
         for (int i = 0; i < 900; ++i) pipelined += one;
         return Trickle(port, 20, 1h, pipelined, pipelined.size(), 30s, false);
       }},
      {"segmentos con controles",
       [](int port, QuarloCliente::integration::SandboxProcess& sandbox) {
         // The unknown path is echoed, decoded, into the answer's description and the log.
         const RawReply reply = Exchange(
             port, RawRequest("GET", "/%0Aquarlo-sandbox:%20FORJADA", {{"AuthKey", kKey}}));
         const bool forged = sandbox.Log().find("\nquarlo-sandbox: FORJADA") != std::string::npos;
         return Outcome(reply) + (forged ? ", línea forjada en el registro" : ", registro intacto");
       }},
      {"Host con controles",
       [](int port, auto&) {
         return Outcome(Exchange(port, RawRequest("GET", "/GetFactorings",
                                                  {{"Host", "x\x1b[2J"}, {"AuthKey", kKey}}))) +
                "; " +
                Outcome(
                    Exchange(port, RawRequest("GET", "/GetFactorings",
                                              {{"Host", "evil.example/x?"}, {"AuthKey", kKey}})));
       }},
      {"búsqueda de 999 términos",
       [](int port, auto&) {
         return Outcome(Exchange(port, RawRequest("POST", "/PaginatedSearch", {{"AuthKey", kKey}},
                                                  LongSearchBody(999))));
       }},
      {"bomba de entidades",
       [](int port, auto&) {
         return Outcome(Exchange(
             port, RawRequest("POST", "/PaginatedSearch", {{"AuthKey", kKey}}, EntityBombBody(9))));
       }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const auto folder =
      std::filesystem::temp_directory_path() / ("quarlo-attack-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  int status = 0;
  try {
    QuarloCliente::integration::SandboxProcess sandbox({folder, kKey, {}, {}});
    const int port = std::stoi(sandbox.Uri().substr(sandbox.Uri().rfind(':') + 1));
    std::printf("%-40s %12s %12s  %-48s %s\n", "ataque", "RSS máx", "VmHWM", "solicitud válida",
                "resultado del ataque");
    for (const Attack& attack : Attacks()) {
      if (attack.name.find(only) == std::string::npos) continue;
      std::string outcome;
      long peak = 0;
      std::string valid;
      {
        MemorySampler memory(sandbox.Pid());
        ValidRequests requests(port);
        try {
          outcome = attack.run(port, sandbox);
        } catch (const std::exception& error) {
          outcome = std::string("error: ") + error.what();
        }
        // A last look, for attacks that ended before the requests had run for a second.
        std::this_thread::sleep_for(300ms);
        valid = requests.Summary();
        peak = memory.PeakKilobytes();
      }
      const auto megabytes = [](long kilobytes) { return static_cast<double>(kilobytes) / 1024; };
      std::printf("%-40s %9.1f MB %9.1f MB  %-48s %s\n", attack.name.c_str(), megabytes(peak),
                  megabytes(StatusKilobytes(sandbox.Pid(), "VmHWM")), valid.c_str(),
                  outcome.c_str());
      std::fflush(stdout);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quarlo_attack: %s\n", error.what());
    status = 1;
  }
  std::filesystem::remove_all(folder);
  return status;
}
