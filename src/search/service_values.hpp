#pragma once

#include <optional>
#include <quarlo/types.hpp>
#include <string_view>

namespace QuarloCliente::detail {

// The date a service time stamp states when it is written whole in one of the direct forms, or
// nullopt. Surrounding blanks are ignored. Accepted: "yyyy-MM-dd", optionally followed by a blank
// or "T" and "HH:mm" or "HH:mm:ss", the seconds optionally with a fraction (".fff", truncated)
// and the time optionally with a zone ("Z", "+hh:mm", "-hh:mm"), which is ignored: the wall-clock
// time is kept as written.
std::optional<Date> ReadDirectTimestamp(std::string_view text);

// The date and time of a service time stamp: the direct forms first, then the text read by
// position as an XML date-time (year in characters 1-4, month 6-7, day 9-10, "HH:mm:ss" in
// 12-19, any separators between date and time, anything after character 19 ignored). Throws
// Error for an empty, too short or invalid text.
Date ReadTimestamp(std::string_view text);

// The date and time of a reconciled document's time stamp: a blank text is the current local
// date and time, any other text must be in one of the direct forms; throws Error otherwise.
Date ReadReconciledTimestamp(std::string_view text);

}  // namespace QuarloCliente::detail
