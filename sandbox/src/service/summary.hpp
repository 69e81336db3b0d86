#pragma once

#include <string>
#include <vector>

#include "store/store.hpp"

namespace QuarloSandbox {

// A stored document with what the search and the reconciliation report about it.
struct DocumentFacts {
  DocumentRow row;
  std::vector<TrackState> history;
  std::vector<CommercialResponse> responses;
  bool ceded = false;
};

DocumentFacts GatherFacts(StoreTx& tx, DocumentRow row);

// <Documents><document>...</document>...</Documents>: one summary per document with the fields
// of the DTE that the search lists, the service's flags and time stamps (AAAA-MM-DD HH:MM:SS),
// and a link to its PDF under baseUrl.
std::string DocumentsXml(const std::vector<DocumentFacts>& documents, const std::string& baseUrl);

}  // namespace QuarloSandbox
