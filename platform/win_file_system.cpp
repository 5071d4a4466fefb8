// File operations on Windows through the wide API, so every name works
// whatever the ANSI code page.
#include <windows.h>

#include "platform/native_file_system.h"
#include "platform/win_text.h"

namespace kestrum {
namespace {

class WinOutputFile : public OutputFile {
 public:
  explicit WinOutputFile(HANDLE h) : handle_(h) {}
  ~WinOutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool Write(const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      const DWORD part = n > (1u << 30) ? (1u << 30) : DWORD(n);
      DWORD done = 0;
      if (!WriteFile(handle_, p, part, &done, nullptr) || done != part) return false;
      p += done;
      n -= done;
    }
    return true;
  }
  bool Close() override {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE handle_;
};

class WinFileSystem : public FileSystem {
 public:
  char Separator() const override { return '\\'; }

  bool CreateFolders(const std::string& path) override {
    const std::wstring wide = win::Wide(path);
    std::wstring partial;
    for (size_t i = 0; i <= wide.size(); ++i) {
      const bool end = i == wide.size();
      if (end || wide[i] == L'\\' || wide[i] == L'/') {
        // Skip drive roots ("C:") and the empty text before a leading separator.
        if (!partial.empty() && partial.back() != L':' && partial.back() != L'\\')
          CreateDirectoryW(partial.c_str(), nullptr);
      }
      if (!end) partial.push_back(wide[i]);
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool IsFile(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(win::Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  long long FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(win::Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  std::unique_ptr<OutputFile> CreateNew(const std::string& path) override {
    HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<WinOutputFile>(h);
  }

  bool Move(const std::string& from, const std::string& to, bool replace) override {
    return MoveFileExW(win::Wide(from).c_str(), win::Wide(to).c_str(),
                       replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
  }

  bool Remove(const std::string& path) override {
    return DeleteFileW(win::Wide(path).c_str()) != 0;
  }

  std::string TempFolder() override {
    wchar_t buffer[MAX_PATH * 4];
    DWORD n = GetEnvironmentVariableW(L"TMP", buffer, DWORD(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer)) n = GetTempPathW(DWORD(std::size(buffer)), buffer);
    std::string folder = n > 0 && n < std::size(buffer) ? win::Utf8(std::wstring(buffer, n)) : "";
    if (folder.empty()) return ".\\";
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static WinFileSystem files;
  return files;
}

}  // namespace kestrum
