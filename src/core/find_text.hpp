#pragma once

#include <cstddef>
#include <string_view>

namespace QuarloCliente::detail {

// Where the first occurrence of `piece` at or after `from` starts, or npos: what
// std::string_view::find returns, found faster in a document. That find stops at every byte equal
// to the piece's first one, which for "<!-- ..." or "DTE..." means every tag. A piece holding a
// byte that is rare in XML (punctuation other than the markup's) is sought through that byte;
// any other is sought sixteen positions per step, by its first and last bytes together.
std::size_t FindText(std::string_view text, std::string_view piece, std::size_t from = 0);

}  // namespace QuarloCliente::detail
