// GUI check for scripts/wine/wine-gui.sh: a window titled "Smoke Test" showing Latin and
// Chinese text in Tahoma, plus a button in the system message font, so a screenshot
// shows whether the title-bar glyphs, Tahoma and CJK fallback all render.
#include <windows.h>

#include <cstdio>

namespace {

// "中文 (Chinese)", written with escapes so the source encoding does not matter.
const wchar_t kChinese[] = L"\u4E2D\u6587 (Chinese)";

HFONT g_tahoma = nullptr;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HGDIOBJ old = SelectObject(dc, g_tahoma);
      SetBkMode(dc, TRANSPARENT);
      const wchar_t latin[] = L"Tahoma: The quick brown fox 0123456789";
      TextOutW(dc, 16, 16, latin, lstrlenW(latin));
      TextOutW(dc, 16, 52, kChinese, lstrlenW(kChinese));
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR cmd_line, int show) {
  // The title can be given on the command line, to test other titles.
  const wchar_t* title = (cmd_line && *cmd_line) ? cmd_line : L"Smoke Test";
  g_tahoma =
      CreateFontW(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");

  WNDCLASSW wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"SmokeTestWindow";
  RegisterClassW(&wc);

  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 100, 100, 520, 240,
                              nullptr, nullptr, inst, nullptr);

  // A button in the message-box font, the way dialogs show their text.
  NONCLIENTMETRICSW ncm = {};
  ncm.cbSize = sizeof(ncm);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  HFONT ui_font = CreateFontIndirectW(&ncm.lfMessageFont);
  HWND button = CreateWindowExW(0, L"BUTTON", kChinese, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 16,
                                100, 160, 32, hwnd, nullptr, inst, nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font), TRUE);

  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  // A line the scripts can look for: the window is up.
  std::printf("smoke window shown\n");
  std::fflush(stdout);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
