#include <signal.h>

#include <initializer_list>

#include "platform/stop_requests.h"

namespace kestrum {

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
