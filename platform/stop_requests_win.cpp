#include <windows.h>

#include "platform/stop_requests.h"

namespace kestrum {

namespace {

volatile LONG stop_requested = 0;
HANDLE stop_handled = nullptr;  // set once the program has cleaned up

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
      event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  InterlockedExchange(&stop_requested, 1);
  // The program ends as soon as this returns from a closing console: wait for
  // the run to remove its half-written files, within the system's grace time.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && stop_handled)
    WaitForSingleObject(stop_handled, 4000);
  return TRUE;
}

}  // namespace

void CatchStopRequests() {
  stop_handled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
  return InterlockedCompareExchange(&stop_requested, 0, 0) != 0;
}

void StopHandled() {
  if (stop_handled) SetEvent(stop_handled);
}

}  // namespace kestrum
