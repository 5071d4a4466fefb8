// Drives the program's windows from another process, as the screenshot and
// end-to-end scripts need under Wine:
//   winctl resize TITLE WIDTH HEIGHT   set the outer size of a top-level window
//   winctl click TITLE CONTROL_ID      post BM_CLICK to a child control
//   winctl command TITLE ID            post WM_COMMAND with ID to the window
//   winctl close TITLE                 post WM_CLOSE
//   winctl dump TITLE                  list the child controls: id, class,
//                                      visibility, rectangle in the client area, text
//   winctl select TITLE ID INDEX       pick item INDEX of a drop list, as a user does
//   winctl settext TITLE ID TEXT       replace the text of an edit field
//   winctl focus TITLE                 the id of the control with the keyboard focus
//   winctl point TITLE ID              the screen point at the middle of a control
//   winctl dropped TITLE ID            1 when a drop list's list is open, else 0
//   winctl tree TITLE ID               list the shown items of a tree view: open or
//                                      closed, image index, the screen point of the
//                                      item's image, text
//   winctl clickwait TITLE ID SHOWN_ID SECONDS
//                                      post BM_CLICK to ID, then wait until the
//                                      child SHOWN_ID is visible; prints the
//                                      milliseconds in between (for timing runs)
// Prints "ok" on success; exits 1 when the window is not found.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// One line per child control (a named callback: 32-bit Windows wants stdcall).
BOOL CALLBACK PrintChild(HWND child, LPARAM parent) {
  wchar_t cls[64];
  GetClassNameW(child, cls, 64);
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, HWND(parent), reinterpret_cast<POINT*>(&r), 2);
  // WM_GETTEXT itself: GetWindowText does not ask controls of other processes.
  wchar_t text[256] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(child, WM_GETTEXT, 256, LPARAM(text), SMTO_ABORTIFHUNG, 2000, &got);
  // UTF-8 on standard output, whatever the console's code page.
  char utf8[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%d %ls %ls %ld,%ld,%ld,%ld %s\n", GetDlgCtrlID(child), cls,
              IsWindowVisible(child) ? L"shown" : L"hidden", r.left, r.top, r.right, r.bottom,
              utf8);
  return TRUE;
}

// Tree items live in the other process: TVM_GETITEM, TVM_GETITEMRECT and
// TVM_HITTEST are asked with a buffer allocated there. Handles of that process,
// such as its image list, mean nothing here and are never used.
void DumpTree(HWND tree) {
  DWORD pid = 0;
  GetWindowThreadProcessId(tree, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return;
  struct Remote {
    TVITEMW item;
    RECT rect;
    TVHITTESTINFO hit;
    wchar_t text[256];
  };
  auto* remote = static_cast<Remote*>(
      VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE));
  if (!remote) {
    CloseHandle(process);
    return;
  }
  // Whether a point falls on the item's image, by the tree's own hit test.
  auto on_image = [&](HTREEITEM item, POINT at) {
    TVHITTESTINFO hit = {};
    hit.pt = at;
    SIZE_T moved = 0;
    WriteProcessMemory(process, &remote->hit, &hit, sizeof hit, &moved);
    const auto found = HTREEITEM(SendMessageW(tree, TVM_HITTEST, 0, LPARAM(&remote->hit)));
    ReadProcessMemory(process, &remote->hit, &hit, sizeof hit, &moved);
    return found == item && (hit.flags & TVHT_ONITEMICON);
  };
  for (HTREEITEM item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item;
       item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, LPARAM(item)))) {
    Remote local = {};
    local.item.mask = TVIF_IMAGE | TVIF_STATE | TVIF_TEXT;
    local.item.hItem = item;
    local.item.stateMask = TVIS_EXPANDED;
    local.item.pszText = remote->text;
    local.item.cchTextMax = 256;
    *reinterpret_cast<HTREEITEM*>(&local.rect) = item;
    SIZE_T moved = 0;
    WriteProcessMemory(process, remote, &local, sizeof local, &moved);
    SendMessageW(tree, TVM_GETITEMW, 0, LPARAM(&remote->item));
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, LPARAM(&remote->rect));
    ReadProcessMemory(process, remote, &local, sizeof local, &moved);
    // Walk left from the text over any gap, then across the image.
    const LONG middle = (local.rect.top + local.rect.bottom) / 2;
    LONG right = local.rect.left - 1;
    while (right > local.rect.left - 16 && !on_image(item, {right, middle})) --right;
    LONG left = right;
    while (left > right - 256 && on_image(item, {left - 1, middle})) --left;
    POINT icon = {(left + right) / 2, middle};
    ClientToScreen(tree, &icon);
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, local.text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s %d %ld,%ld %s\n", (local.item.state & TVIS_EXPANDED) ? "open" : "closed",
                local.item.iImage, icon.x, icon.y, utf8);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: winctl resize|click|command|close TITLE ...\n");
    return 2;
  }
  const std::wstring verb = argv[1];
  HWND window = FindWindowW(nullptr, argv[2]);
  if (!window) {
    std::fprintf(stderr, "winctl: no window with that title\n");
    return 1;
  }
  if (verb == L"resize" && argc == 5) {
    SetWindowPos(window, nullptr, 0, 0, _wtoi(argv[3]), _wtoi(argv[4]),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (verb == L"click" && argc == 4) {
    HWND control = GetDlgItem(window, _wtoi(argv[3]));
    if (!control) return 1;
    PostMessageW(control, BM_CLICK, 0, 0);
  } else if (verb == L"command" && argc == 4) {
    PostMessageW(window, WM_COMMAND, WPARAM(_wtoi(argv[3])), 0);
  } else if (verb == L"dump") {
    EnumChildWindows(window, PrintChild, LPARAM(window));
  } else if (verb == L"select" && argc == 5) {
    const int id = _wtoi(argv[3]);
    HWND list = GetDlgItem(window, id);
    if (!list) return 1;
    SendMessageW(list, CB_SETCURSEL, WPARAM(_wtoi(argv[4])), 0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(list));
  } else if (verb == L"settext" && argc == 5) {
    HWND edit = GetDlgItem(window, _wtoi(argv[3]));
    if (!edit) return 1;
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, LPARAM(argv[4]), SMTO_ABORTIFHUNG, 2000, &unused);
  } else if (verb == L"point" && argc == 4) {
    HWND control = GetDlgItem(window, _wtoi(argv[3]));
    RECT r;
    if (!control || !GetWindowRect(control, &r)) return 1;
    // A drop list's window is as tall as its opened list: its face is on top.
    const LONG height = SendMessageW(control, CB_GETITEMHEIGHT, WPARAM(-1), 0);
    const LONG y = height > 0 ? r.top + height / 2 + 2 : (r.top + r.bottom) / 2;
    std::printf("%ld %ld\n", (r.left + r.right) / 2, y);
  } else if (verb == L"dropped" && argc == 4) {
    HWND control = GetDlgItem(window, _wtoi(argv[3]));
    if (!control) return 1;
    std::printf("%d\n", SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) ? 1 : 0);
  } else if (verb == L"focus") {
    // The id of the control with the keyboard focus in the window's thread.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return 1;
    std::printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
  } else if (verb == L"tree" && argc == 4) {
    HWND tree = GetDlgItem(window, _wtoi(argv[3]));
    if (!tree) return 1;
    DumpTree(tree);
  } else if (verb == L"clickwait" && argc == 6) {
    HWND control = GetDlgItem(window, _wtoi(argv[3]));
    if (!control) return 1;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const double limit = _wtof(argv[5]);
    PostMessageW(control, BM_CLICK, 0, 0);
    for (;;) {
      HWND shown = GetDlgItem(window, _wtoi(argv[4]));
      QueryPerformanceCounter(&now);
      const double seconds = double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
      if (shown && IsWindowVisible(shown)) {
        std::printf("%.0f\n", seconds * 1000);
        return 0;
      }
      if (seconds > limit || !IsWindow(window)) {
        std::fprintf(stderr, "winctl: control %ls not shown\n", argv[4]);
        return 1;
      }
      Sleep(5);
    }
  } else if (verb == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else {
    std::fprintf(stderr, "winctl: bad arguments\n");
    return 2;
  }
  std::printf("ok\n");
  return 0;
}
