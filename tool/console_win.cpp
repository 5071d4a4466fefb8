#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <iterator>

#include "platform/win_text.h"
#include "tool/console.h"

namespace kestrum {
namespace {

HANDLE HandleOf(std::FILE* stream) {
  if (stream == stdin) return GetStdHandle(STD_INPUT_HANDLE);
  return GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

}  // namespace

void InitConsole() {
  // No "\n" to "\r\n" translation: a listing piped to a file holds the same
  // bytes as the Linux tool's.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void Write(std::FILE* stream, const std::string& text) {
  const HANDLE handle = HandleOf(stream);
  if (!IsConsole(handle)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    if (stream == stderr) std::fflush(stream);
    return;
  }
  std::fflush(stream);
  const std::wstring wide = win::Wide(text);
  size_t at = 0;
  while (at < wide.size()) {
    const DWORD part = static_cast<DWORD>(std::min<size_t>(wide.size() - at, 16384));
    DWORD written = 0;
    if (!WriteConsoleW(handle, wide.data() + at, part, &written, nullptr) || written == 0) return;
    at += written;
  }
}

bool IsTerminal(std::FILE* stream) {
  return IsConsole(HandleOf(stream));
}

std::string ClearLineText() {
  // Blanks the console line with spaces: older consoles show escape sequences as text.
  CONSOLE_SCREEN_BUFFER_INFO info;
  int width = 80;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) width = info.dwSize.X;
  return "\r" + std::string(static_cast<size_t>(width > 1 ? width - 1 : 0), ' ') + "\r";
}

bool ReadLine(std::string& line) {
  line.clear();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!IsConsole(input)) {
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return c != EOF || !line.empty();
  }
  std::wstring wide;
  wchar_t buffer[256];
  for (;;) {
    DWORD got = 0;
    if (!ReadConsoleW(input, buffer, DWORD(std::size(buffer)), &got, nullptr) || got == 0)
      return !wide.empty();
    wide.append(buffer, got);
    const size_t end = wide.find(L'\n');
    if (end != std::wstring::npos) {
      wide.resize(end);
      break;
    }
  }
  if (!wide.empty() && wide.back() == L'\r') wide.pop_back();
  line = win::Utf8(wide);
  return true;
}

}  // namespace kestrum
