// Figures as the messages show them to people.
#pragma once

#include <cstdint>
#include <string>

// 1797 as "1,797", 44100 as "44,100".
inline std::string Thousands(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), ",");
  }
  return digits;
}
