#include "app/progress_window.h"

#include <windows.h>
#include <commctrl.h>

#include "archive/unzipper.h"
#include "i18n/translate.h"
#include "platform/stop_requests.h"
#include "platform/win_text.h"

namespace kestrum {
namespace {

constexpr UINT_PTR kTimer = 1;
constexpr int kCancelId = 2;

struct Progress {
  UnZipper* archive = nullptr;
  HWND name = nullptr, bar = nullptr, cancel = nullptr;
  HFONT font = nullptr;
  bool stopped = false;
};

void StopRun(HWND hwnd, Progress& p) {
  if (p.stopped) return;
  p.stopped = true;
  p.archive->Stop();
  EnableWindow(p.cancel, FALSE);
  (void)hwnd;
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* p = reinterpret_cast<Progress*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE: {
      p = static_cast<Progress*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
      NONCLIENTMETRICSW metrics = {};
      metrics.cbSize = sizeof metrics;
      SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
      p->font = CreateFontIndirectW(&metrics.lfMessageFont);
      const HINSTANCE instance = GetModuleHandleW(nullptr);
      p->name = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS, 12, 12,
                                336, 20, hwnd, nullptr, instance, nullptr);
      p->bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 12, 38, 336, 18,
                               hwnd, nullptr, instance, nullptr);
      p->cancel =
          CreateWindowExW(0, L"BUTTON", win::Wide(t_("Cancel")).c_str(),
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 258, 66, 90, 26,
                          hwnd, reinterpret_cast<HMENU>(kCancelId), instance, nullptr);
      for (HWND child : {p->name, p->cancel})
        SendMessageW(child, WM_SETFONT, WPARAM(p->font), TRUE);
      SendMessageW(p->bar, PBM_SETRANGE32, 0, 1000);
      SetTimer(hwnd, kTimer, 100, nullptr);
      return 0;
    }
    case WM_TIMER: {
      if (StopRequested()) StopRun(hwnd, *p);
      RunningEntry current;
      const double ratio = p->archive->GetProgress(current);
      SendMessageW(p->bar, PBM_SETPOS, WPARAM(ratio * 1000), 0);
      SetWindowTextW(p->name, win::Wide(current.name).c_str());
      if (!p->archive->WorkerRunning()) DestroyWindow(hwnd);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == kCancelId) StopRun(hwnd, *p);
      return 0;
    case WM_CLOSE:
      StopRun(hwnd, *p);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kTimer);
      if (p && p->font) DeleteObject(p->font);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

bool ShowProgressUntilDone(UnZipper& archive, const std::string& title) {
  Progress progress;
  progress.archive = &archive;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ProgressProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.lpszClassName = L"KestrumProgress";
  RegisterClassW(&window_class);
  RECT frame = {0, 0, 360, 104};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRect(&frame, style, FALSE);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const HWND hwnd = CreateWindowExW(0, window_class.lpszClassName, win::Wide(title).c_str(), style,
                                    (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                    (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                    nullptr, nullptr, instance, &progress);
  if (!hwnd) {
    archive.WaitForWorker();
    return false;
  }
  ShowWindow(hwnd, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  archive.WaitForWorker();
  return progress.stopped;
}

}  // namespace kestrum
