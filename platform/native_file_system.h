// The file system of the machine the program runs on: POSIX calls on Linux
// and the like, the wide Win32 calls on Windows. The program that links the core
// picks this (or a file system of its own) and hands it over through its
// Platform; the core itself never names one.
#pragma once

#include "archive/file_system.h"

namespace kestrum {

FileSystem& NativeFileSystem();

}  // namespace kestrum
