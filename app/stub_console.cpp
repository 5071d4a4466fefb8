#include "app/stub_console.h"

#include <algorithm>

#include "platform/win_text.h"

namespace kestrum {
namespace {

// A standard handle that leads somewhere: a pipe, a file, or a console.
HANDLE Usable(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return nullptr;
  return GetFileType(h) == FILE_TYPE_UNKNOWN ? nullptr : h;
}

bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return GetConsoleMode(h, &mode) != 0;
}

}  // namespace

StubConsole::StubConsole() {
  out_ = Usable(STD_OUTPUT_HANDLE);
  err_ = Usable(STD_ERROR_HANDLE);
  if (out_ || err_) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  console_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (console_ == INVALID_HANDLE_VALUE) {
    console_ = nullptr;
    return;
  }
  out_ = err_ = console_;
}

StubConsole::~StubConsole() {
  if (console_) CloseHandle(console_);
}

void StubConsole::Write(HANDLE handle, const std::string& utf8) {
  if (!handle || utf8.empty()) return;
  if (IsConsole(handle)) {
    const std::wstring wide = win::Wide(utf8);
    for (size_t at = 0; at < wide.size();) {
      const DWORD part = DWORD(std::min<size_t>(wide.size() - at, 16384));
      DWORD written = 0;
      if (!WriteConsoleW(handle, wide.data() + at, part, &written, nullptr) || written == 0) return;
      at += written;
    }
    return;
  }
  for (size_t at = 0; at < utf8.size();) {
    const DWORD part = DWORD(std::min<size_t>(utf8.size() - at, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(handle, utf8.data() + at, part, &written, nullptr) || written == 0) return;
    at += written;
  }
}

}  // namespace kestrum
