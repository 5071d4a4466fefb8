#include <signal.h>
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

namespace {

volatile sig_atomic_t stop_requested = 0;

void OnStopSignal(int) {
  stop_requested = 1;
}

}  // namespace

// Without SA_RESTART: a read waiting for an answer on the terminal returns,
// so the question ends with the run. A signal ignored from the start (nohup,
// a shell's background job) stays ignored.
void CatchStopRequests() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before = {};
    if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal_number, &action, nullptr);
  }
}

bool StopRequested() {
  return stop_requested != 0;
}

void StopHandled() {}

}  // namespace kestrum
