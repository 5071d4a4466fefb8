// Where the stub's text goes when it runs from a command line. It is a
// Windows (GUI) program, so it has no console of its own: its standard
// handles are used when they lead somewhere (a pipe or a file: UTF-8 bytes, as
// the tool writes), else the console it was started from (UTF-16, so that any
// alphabet shows). When there is neither, nothing is printed.
#pragma once

#include <windows.h>

#include <string>

namespace kestrum {

class StubConsole {
 public:
  StubConsole();
  ~StubConsole();
  StubConsole(const StubConsole&) = delete;
  StubConsole& operator=(const StubConsole&) = delete;

  // True when text written here reaches somebody.
  bool reaches() const { return out_ != nullptr || err_ != nullptr; }
  void Out(const std::string& utf8) { Write(out_, utf8); }
  void Err(const std::string& utf8) { Write(err_ ? err_ : out_, utf8); }

 private:
  static void Write(HANDLE handle, const std::string& utf8);
  HANDLE out_ = nullptr, err_ = nullptr;
  HANDLE console_ = nullptr;  // the parent's console, opened here
};

}  // namespace kestrum
