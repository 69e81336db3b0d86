#pragma once

#include <chrono>
#include <string>

#include "crypto/caf.hpp"
#include "store/store.hpp"

namespace QuarloSandbox {

// What every operation works with: the store and the sandbox's folio authority.
struct ServiceContext {
  Store& store;
  const AuthorityKey& authority;
};

// The present local time as AAAA-MM-DDTHH:MM:SS, the form of every time stamp the sandbox
// writes.
std::string NowText();

// "AAAA-MM-DD HH:MM:SS" from "AAAA-MM-DDTHH:MM:SS": the form the search and reconciliation
// answers use, which every date reader accepts.
std::string SpacedTimestamp(const std::string& timestamp);

// The whole milliseconds since `started`, as the SearchTime of an answer.
std::string ElapsedMilliseconds(std::chrono::steady_clock::time_point started);

}  // namespace QuarloSandbox
