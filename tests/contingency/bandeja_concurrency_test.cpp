#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "outbox_fixture.hpp"

namespace QuarloCliente::testing {
namespace {

// Every folio of the range, each exactly once: none issued twice, none skipped.
void ExpectContiguous(std::vector<std::int64_t> folios, std::int64_t first, std::size_t count) {
  std::sort(folios.begin(), folios.end());
  ASSERT_EQ(folios.size(), count);
  for (std::size_t i = 0; i < count; ++i) {
    ASSERT_EQ(folios[i], first + static_cast<std::int64_t>(i)) << "at position " << i;
  }
}

TEST_F(OutboxTest, EightThreadsOnOneObjectNeverShareOrSkipAFolio) {
  auto bandeja = Ready();
  constexpr int kThreads = 8;
  constexpr int kEach = 15;
  std::mutex mutex;
  std::vector<std::int64_t> folios;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        const EmisionLocal issued = bandeja->EmitirBoleta(TestBoleta());
        std::lock_guard lock(mutex);
        folios.push_back(issued.folio);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ExpectContiguous(folios, 4001, kThreads * kEach);
  EXPECT_EQ(bandeja->FoliosRestantes("76981442-6", 39), 1000 - kThreads * kEach);
}

// Each child opens the file on its own connection and issues, then reports success by its exit
// status; the parent reads the folios back from the file.
TEST_F(OutboxTest, TwoProcessesOnOneFileNeverShareOrSkipAFolio) {
  Ready();
  constexpr int kEach = 25;
  std::vector<pid_t> children;
  for (int c = 0; c < 2; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        BandejaSalida own(path_.string());
        for (int i = 0; i < kEach; ++i) own.EmitirBoleta(TestBoleta());
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  BandejaSalida bandeja(path_.string());
  std::vector<std::int64_t> folios;
  for (const ItemBandeja& item : bandeja.Items(EstadoItem::Pendiente)) {
    if (item.clase == ClaseItem::Boleta) folios.push_back(item.folio);
  }
  ExpectContiguous(folios, 4001, 2 * kEach);
}

// The background sender works without being asked and stops at once, though its next round is
// an hour away.
TEST_F(OutboxTest, TheBackgroundSenderRunsAndStopsWithoutWaitingOutItsInterval) {
  auto bandeja = Ready();
  bandeja->IniciarEnvio("http://127.0.0.1:1", "llave", std::chrono::hours(1));
  const std::int64_t caf = bandeja->Items(EstadoItem::Pendiente).front().id;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (bandeja->Historial(caf).empty() || !bandeja->Historial(caf).back().fin) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the sender never tried";
    std::this_thread::yield();
  }
  bandeja->DetenerEnvio();
  const auto attempts = bandeja->Historial(caf);
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_EQ(attempts[0].operacion, "envio");
  EXPECT_EQ(attempts[0].resultado, "pendiente");
  EXPECT_EQ(bandeja->Items(EstadoItem::Pendiente).front().intentos, 1);
  // Stopping twice, and restarting after a stop, are both fine.
  bandeja->DetenerEnvio();
  bandeja->IniciarEnvio("http://127.0.0.1:1", "llave", std::chrono::hours(1));
}

}  // namespace
}  // namespace QuarloCliente::testing
