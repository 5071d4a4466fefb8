// GUI check of the rich-text view: a window titled "Rich Text Demo" with the
// program's own QTF texts and a formatted description, so a screenshot shows
// sizes, colours, alignment and links. Every link click is printed as
// "link: URL" instead of opening a browser; at start-up the screen positions of
// the first and last character of each link caption are printed as
// "at CAPTION X Y" and "end CAPTION X Y" for a test to click on; EN_LINK
// notifications and moves of the keyboard focus are printed too.
//
// Built by hand, in one command from the repository root:
//   x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -static -municode -mwindows -I.
//     -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601
//     tests/wine-smoke/rich_text_demo.cpp ui/rich_text_view.cpp view/rich_text/*.cpp
//     view/make_strip.cpp archive/utf8.cpp -lcomctl32 -lshell32 -lgdi32 -o rich_text_demo.exe
// and run with scripts/wine/wine-gui.sh (wine_gui_start, wine_wait_window "Rich Text Demo",
// wine_screenshot; xdotool to click).
#include <windows.h>
#include <commdlg.h>
#include <richedit.h>

#include <cstdio>
#include <string>

#include "view/make_strip.h"
#include "ui/rich_text_view.h"
#include "platform/win_text.h"

namespace {

using kestrum::ui::RichTextView;

constexpr int kWidth = 640, kHeight = 520;

RichTextView g_views[6];
HWND g_focus = nullptr;

const char* const kTexts[6] = {
    "[2; Quantity of files in archive: [* 1234]]",
    "[1; File C:\\Users\\me\\report.txt already exists.]&[1; Set new name for this file, or "
    "rewrite it.]",
    "[1; [ The archive is successfully unpacked.]&[ You can leave a response on a site "
    "[^https://example.org/arbitration/complaint/123915/^; example.org] about conformity of "
    "files of archive declared.]]",
    "[= [*4 Holiday photos 2010]]&[2 Taken with a [/ new] camera, [@3 red], [@(0.0.255) blue] and "
    "[_ underlined] words, [- struck] text, [0 tiny] [9 huge]]&[> [1 right-aligned, "
    "[!Courier New! monospace]]]&[2 See [^https://example.org/photos^ the album] online.]",
    "[2; [^https://example.org/archrf/?archref=123915^; About Kestrum]]",
    "[2 Line 1&Line 2&Line 3&Line 4&Line 5&Line 6&Line 7&Line 8 (more than the box holds)]",
};

void PrintLinkPosition(HWND edit, const wchar_t* caption) {
  FINDTEXTEXW find = {};
  find.chrg = {0, -1};
  find.lpstrText = caption;
  if (SendMessageW(edit, EM_FINDTEXTEXW, FR_DOWN, reinterpret_cast<LPARAM>(&find)) < 0) return;
  for (const LONG character : {find.chrgText.cpMin, find.chrgText.cpMax - 1}) {
    POINTL pos = {};
    SendMessageW(edit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pos), character);
    POINT screen = {pos.x + 2, pos.y + 6};
    ClientToScreen(edit, &screen);
    std::printf("%s %s %ld %ld\n", character == find.chrgText.cpMin ? "at" : "end",
                kestrum::win::Utf8(caption).c_str(), screen.x, screen.y);
  }
}

void PaintBand(HDC dc, const RECT& client) {
  for (int y = 0; y < kestrum::kStripHeight; ++y) {
    const kestrum::Rgb c = kestrum::StripRow(y);
    HBRUSH brush = CreateSolidBrush(RGB(c.r, c.g, c.b));
    const int top = client.bottom - kestrum::kStripHeight + y;
    RECT row = {0, top, client.right, top + 1};
    FillRect(dc, &row, brush);
    DeleteObject(brush);
  }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header->code == EN_LINK) {
        const auto* link = reinterpret_cast<const ENLINK*>(lp);
        if (link->msg == WM_LBUTTONDOWN || link->msg == WM_LBUTTONUP) {
          std::printf("EN_LINK %s from %d, characters %ld-%ld\n",
                      link->msg == WM_LBUTTONDOWN ? "down" : "up", int(header->idFrom),
                      link->chrg.cpMin, link->chrg.cpMax);
        }
      }
      for (RichTextView& view : g_views) {
        if (view.HandleNotify(reinterpret_cast<NMHDR*>(lp))) return 0;
      }
      break;
    }
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(HDC(wp), &client, GetSysColorBrush(COLOR_BTNFACE));
      PaintBand(HDC(wp), client);
      return 1;
    }
    case WM_TIMER: {
      // Reports where the keyboard focus is whenever it moves.
      HWND focus = GetFocus();
      if (focus != g_focus) {
        g_focus = focus;
        wchar_t name[64] = L"none";
        if (focus) GetClassNameW(focus, name, 64);
        std::printf("focus: %s\n", kestrum::win::Utf8(name).c_str());
        std::fflush(stdout);
      }
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"RichTextDemo";
  RegisterClassW(&wc);
  RECT frame = {0, 0, kWidth, kHeight};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Rich Text Demo", WS_OVERLAPPEDWINDOW, 40, 40,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              inst, nullptr);

  // Where each text goes: file count, overwrite prompt, finished message,
  // description (white background), About link on the band, a text longer
  // than its box.
  const RECT places[6] = {{20, 16, 620, 40},
                          {20, 50, 620, 100},
                          {20, 110, 620, 170},
                          {20, 180, 620, 400},
                          {62, kHeight - 12 - 20, 62 + 168, kHeight - 12},
                          {20, 408, 620, 462}};
  for (int i = 0; i < 6; ++i) {
    RichTextView& view = g_views[i];
    if (!view.Create(hwnd, 100 + i, i == 5)) {
      std::printf("no rich edit control\n");
      return 1;
    }
    view.SetLinkHandler([](const std::string& url) {
      std::printf("link: %s\n", url.c_str());
      std::fflush(stdout);
    });
    const RECT& r = places[i];
    MoveWindow(view.hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    ShowWindow(view.hwnd(), SW_SHOW);
  }
  g_views[2].SetLinkColor(RGB(146, 0, 22));
  g_views[3].SetBackground(RGB(255, 255, 255));
  g_views[4].SetLinkColor(RGB(255, 255, 255));
  const kestrum::Rgb behind_link = kestrum::StripRow(kestrum::kStripHeight - 12 - 10);
  g_views[4].SetBackground(RGB(behind_link.r, behind_link.g, behind_link.b));
  for (int i = 0; i < 6; ++i) g_views[i].SetQtf(kTexts[i]);
  // An edit box holding the focus: clicks on the views must leave it there.
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"keeps the focus",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP, 420, kHeight - 38, 200, 24, hwnd,
                              nullptr, inst, nullptr);
  SetTimer(hwnd, 1, 200, nullptr);

  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  SetFocus(edit);
  PrintLinkPosition(g_views[2].hwnd(), L"example.org");
  PrintLinkPosition(g_views[3].hwnd(), L"the album");
  PrintLinkPosition(g_views[4].hwnd(), L"About Kestrum");
  PrintLinkPosition(g_views[3].hwnd(), L"camera");
  std::printf("rich text demo shown\n");
  std::fflush(stdout);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
