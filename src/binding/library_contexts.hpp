#pragma once

#include <memory>
#include <quarlo/binding_context.hpp>
#include <string_view>

namespace QuarloCliente::detail {

// The prefix under which a submission writes the SII namespace before its markup is cleaned.
inline constexpr std::string_view kSubmissionMarker = "ABCXYZ";

// The context every submission writes through: the SII namespace under the marker and nothing
// else. Made once and never changed afterwards, so neither the caller's registrations on
// DefaultBindingContext nor another thread can alter the bytes sent; never null.
const std::shared_ptr<BindingContext>& SubmissionContext();

// The context through which retrieved documents are loaded: all five lenient switches on, no
// prefixes. Made once and never changed afterwards; never null.
const std::shared_ptr<BindingContext>& LenientLoadingContext();

// The context through which the library loads a document strictly when the caller gives none:
// every switch off, no prefixes. Made once and never changed afterwards; never null.
const std::shared_ptr<BindingContext>& StrictLoadingContext();

}  // namespace QuarloCliente::detail
