// The file system of the machine the program runs on: POSIX calls on Linux
// and the like, the wide Win32 calls on Windows. The program that links the core
// picks this (or a file system of its own) and hands it over through its
// Platform; the core itself never names one.
#pragma once

#include <cstdio>
#include <string>

#include "archive/file_system.h"

namespace kestrum {

FileSystem& NativeFileSystem();

// A new file at a UTF-8 path, open for reading and writing. Fails (null, the
// reason in errno) when anything exists there, a link included: the link is
// never followed, so nobody can aim the new file elsewhere ahead of time.
std::FILE* CreateNewStdioFile(const std::string& path);

}  // namespace kestrum
