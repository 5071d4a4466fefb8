#include <unistd.h>

#include <iostream>

#include "tool/console.h"

namespace kestrum {

void InitConsole() {}

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  if (stream == stderr) std::fflush(stream);
}

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

std::string ClearLineText() {
  return "\r\033[K";
}

bool ReadLine(std::string& line) {
  return static_cast<bool>(std::getline(std::cin, line));
}

}  // namespace kestrum
