#include "base/failure_text.h"

#include <cstring>

std::string FailureText(std::string_view first, std::string_view path, int error) {
  return FailureText(first, path, std::string_view(std::strerror(error)));
}

std::string FailureText(std::string_view first, std::string_view path, std::string_view reason) {
  std::string text(first);
  text.append("\n").append(path).append(": ").append(reason);
  return text;
}
