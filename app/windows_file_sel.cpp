#include "app/windows_file_sel.h"

#include <shlobj.h>

#include "platform/win_text.h"

namespace kestrum {
namespace {

// The folder the browser preselects; empty: the current directory.
std::wstring start_folder;

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM) {
  if (msg != BFFM_INITIALIZED) return 0;
  std::wstring folder = start_folder;
  if (folder.empty()) {
    wchar_t cwd[32768];
    const DWORD n = GetCurrentDirectoryW(32768, cwd);
    if (n == 0 || n >= 32768) return 0;
    folder.assign(cwd, n);
  }
  SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, LPARAM(folder.c_str()));
  return 0;
}

}  // namespace

std::string WindowsFileSel::BrowseFolder(HWND owner, const std::string& initial,
                                         const std::string& display) {
  (void)display;
  start_folder = win::Wide(initial);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  // Folders on disk only, a status line, an edit box and the resizable
  // browser with its "new folder" button.
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = &BrowseCallback;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::string result;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
    wchar_t path[32768] = {};
    using GetPathExFn = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, PWSTR, DWORD, int);
    const auto get_path_ex = reinterpret_cast<GetPathExFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHGetPathFromIDListEx")));
    const BOOL ok =
        get_path_ex ? get_path_ex(item, path, 32768, 0) : SHGetPathFromIDListW(item, path);
    if (ok) result = win::Utf8(path);
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}

}  // namespace kestrum
