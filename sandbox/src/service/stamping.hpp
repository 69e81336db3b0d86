#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/signing_caf.hpp"
#include "service/incoming_document.hpp"

namespace QuarloSandbox {

// The TED the sandbox stamps on the document with the CAF, at `now`: DD from the document's
// fields, the receiver's name and first item cut to 40 characters.
std::string StampFor(const DocumentFields& fields, const SigningCaf& caf, const std::string& now);

// What a TED sent beside a document stamps.
struct CallerTed {
  std::int64_t folio = 0;
  std::string cafModulus;  // RSAPK/M of the CAF it carries, whitespace removed
};

// A TED the caller sent, checked: it must be a TED (400), its signature must hold (422), and its
// DD must belong to the document (422): RE, TD, FE, RR and MNT equal, RSR and IT1 beginnings of
// the document's texts, F equal to the document's folio unless that is 0 (automatic numbering).
CallerTed CheckCallerTed(const std::string& tedXml, const DocumentFields& fields);

// The text without whitespace, to compare Base64 values written with different line breaks.
std::string WithoutWhitespace(std::string_view text);

// The first `count` characters of UTF-8 text.
std::string FirstCharacters(std::string_view text, std::size_t count);

}  // namespace QuarloSandbox
