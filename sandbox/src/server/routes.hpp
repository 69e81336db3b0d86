#pragma once

#include <string_view>

#include "service/operations.hpp"

namespace QuarloSandbox {

using Operation = Answer (*)(ServiceContext&, const Call&);

// One path of the protocol: its method and, for a GET, the segments it takes after the path.
struct Route {
  std::string_view name;  // "FiscalStatus"
  bool post;
  int segments;                   // GET only
  std::string_view segmentNames;  // for the description of a wrong count
  Operation operation;
};

// The route of an operation name (the first path segment), or nullptr for an unknown path.
const Route* FindRoute(std::string_view name);

}  // namespace QuarloSandbox
