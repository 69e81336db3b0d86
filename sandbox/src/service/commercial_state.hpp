#pragma once

#include <string>
#include <vector>

#include "store/records.hpp"

namespace QuarloSandbox {

// The receiver's commercial answers to a DTE, by action code: 0 ERM (receipt of goods or
// services), 1 RCD (claim against the content), 2 RFP (partial lack of goods), 3 RFT (total
// lack), 4 ACD (content accepted).
struct CommercialAction {
  const char* code;
  const char* description;
  const char* state;
  bool claim;
};

// The action of a code "0".."4"; SandboxError(400, ...) for any other.
const CommercialAction& ActionOf(const std::string& action);

// The state a document's answers leave: the last answer's, or "no answer yet".
struct CommercialStatus {
  std::string code = "PEN";
  std::string description = "Sin respuesta comercial";
  std::string state = "PENDIENTE";
  std::string claimAction;
  bool received = false;  // an ERM was given
  bool accepted = false;  // an ACD was given
  const CommercialResponse* last = nullptr;
};
CommercialStatus StatusOf(const std::vector<CommercialResponse>& responses);

// The acknowledgement the sandbox writes for an answer, unsigned, in the SII namespace: a
// Recibo (Ley 19.983) for a receipt of goods, a RespuestaDTE with the DTE's result otherwise.
std::string AcknowledgementXml(const DocumentRow& document, const CommercialResponse& response,
                               std::int64_t sequence);

}  // namespace QuarloSandbox
