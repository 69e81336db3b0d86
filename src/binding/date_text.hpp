#pragma once

// The sortable text of a binding date, shared by the date type and the checks of date bounds.

#include <cstdio>
#include <quarlo/binding_values.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// The text of a date being formatted, built in place: every date a document sets is formatted,
// and checked, on its way in, and a date-time is longer than a string holds without allocating.
class DateText {
 public:
  // Appends the number zero-padded to `width` digits, as "%0*d" writes it; the fields of a valid
  // date always fit.
  void AppendPadded(int value, int width) {
    int limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    if (value < 0 || value >= limit) {
      size_ += static_cast<std::size_t>(
          std::snprintf(buffer_ + size_, sizeof buffer_ - size_, "%0*d", width, value));
      return;
    }
    for (int i = width; i-- > 0; value /= 10) {
      buffer_[size_ + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
    size_ += static_cast<std::size_t>(width);
  }
  void Append(char c) { buffer_[size_++] = c; }
  std::string_view View() const { return std::string_view(buffer_, size_); }
  std::string ToString() const { return std::string(View()); }

 private:
  // Six fields of at most eleven characters (an int) and their five separators.
  char buffer_[6 * 11 + 5 + 1];
  std::size_t size_ = 0;
};

// The sortable form of a value, Format("s"); the bounds of a date type are compared with it.
DateText SortableText(const BindingDateTime& value);

// What a valid text of the kind looks like, for the faults reported about one.
const char* DateKindDescription(BindingDateTimeKind kind);

}  // namespace QuarloCliente::detail
