// Reading report lines back in tests.
#pragma once

#include <string>

namespace testing_support {

// Removes a leading time stamp "Y:M:D h:m:s: " (six numbers) from a report line; a line without
// one comes back as it is.
inline std::string WithoutStamp(const std::string& line) {
  std::size_t i = 0;
  for (int field = 0; field < 6; ++field) {
    const std::size_t digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    const char separator = field == 2 ? ' ' : ':';
    if (i == digits || i >= line.size() || line[i] != separator) return line;
    ++i;
  }
  return i < line.size() && line[i] == ' ' ? line.substr(i + 1) : line;
}

}  // namespace testing_support
