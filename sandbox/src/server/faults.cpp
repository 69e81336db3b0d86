#include "server/faults.hpp"

#include <array>
#include <utility>

#include "server/dispatcher.hpp"
#include "server/log_line.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::array<std::pair<Fault, std::string_view>, 5> kNames{{
    {Fault::LostAnswer, "respuesta-perdida"},
    {Fault::Unavailable, "503"},
    {Fault::Stall, "estancamiento"},
    {Fault::ResetBefore, "reinicio"},
    {Fault::ResetAfter, "reinicio-tras-proceso"},
}};

}  // namespace

std::string_view FaultName(Fault fault) {
  for (const auto& [named, name] : kNames) {
    if (named == fault) return name;
  }
  return {};
}

std::optional<Fault> FaultNamed(std::string_view name) {
  for (const auto& [fault, named] : kNames) {
    if (named == name) return fault;
  }
  return std::nullopt;
}

std::vector<Fault> AllFaults() {
  std::vector<Fault> all;
  for (const auto& [fault, name] : kNames) all.push_back(fault);
  return all;
}

bool ProcessesRequest(Fault fault) {
  return fault != Fault::Unavailable && fault != Fault::ResetBefore;
}

FaultInjector::FaultInjector(FaultSettings settings)
    : settings_(std::move(settings)), state_(settings_.seed) {}

Fault FaultInjector::Next() {
  if (settings_.share <= 0 || settings_.kinds.empty()) return Fault::None;
  // 53 random bits as a double in [0, 1): the same on every platform, unlike the standard
  // library's distributions, so that a seed replays the same faults wherever the sandbox runs.
  const double draw = static_cast<double>(NextBits() >> 11) * 0x1.0p-53;
  if (draw >= settings_.share) return Fault::None;
  return settings_.kinds[NextBits() % settings_.kinds.size()];
}

std::uint64_t FaultInjector::NextBits() {
  // SplitMix64: small, fast and fully determined by the seed.
  std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

std::string FaultLogLine(Fault fault, std::string_view method, std::string_view target,
                         std::uint64_t order) {
  return "falla inyectada " + std::string(FaultName(fault)) + ": " + EscapeForLog(method) + " /" +
         EscapeForLog(OperationName(std::string(target))) + " (orden " + std::to_string(order) +
         ")";
}

}  // namespace QuarloSandbox
