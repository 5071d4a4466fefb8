// kestrum: packs, lists, tests and extracts self-extracting archives.
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "tool/cli_platform.h"
#include "tool/commands.h"
#include "tool/terminal_text.h"

namespace kestrum {

// Messages quote names from archives: printed escaped, they stay one line.
int Failure(const std::string& message) {
  std::fprintf(stderr, "kestrum: %s\n", TerminalSafe(message).c_str());
  return 1;
}

bool ParseSize(const std::string& text, uint64_t& out) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  size_t used = 0;
  unsigned long long value;
  try {
    value = std::stoull(text, &used, 10);
  } catch (...) {
    return false;
  }
  std::string suffix = text.substr(used);
  uint64_t scale = 1;
  if (suffix == "K" || suffix == "k" || suffix == "KiB")
    scale = 1ull << 10;
  else if (suffix == "M" || suffix == "m" || suffix == "MiB")
    scale = 1ull << 20;
  else if (suffix == "G" || suffix == "g" || suffix == "GiB")
    scale = 1ull << 30;
  else if (!suffix.empty())
    return false;
  if (value > UINT64_MAX / scale) return false;
  out = value * scale;
  return true;
}

}  // namespace kestrum

namespace {

const char kUsage[] =
    "usage: kestrum pack DIR -o OUT.exe [options]\n"
    "       kestrum list [--json] ARCHIVE.exe\n"
    "       kestrum extract ARCHIVE.exe [-o DIR] [--overwrite replace|skip|rename]\n"
    "       kestrum test ARCHIVE.exe\n"
    "\n"
    "pack options:\n"
    "  --stub PATH          stub executable (default: the one built alongside)\n"
    "  --name TEXT          archive name (default: the folder's name)\n"
    "  --description TEXT   description in QTF markup, or @FILE to read it from a file\n"
    "  --language CODE      interface language: enUS, deDE, ruRU, ... or 0 for the system's\n"
    "  --raw                store files without compression\n"
    "  --level N            gzip level 0..12 (default 6; 10..12 slower, smaller)\n"
    "  --threads N          compressing threads (default: one per core)\n"
    "  --chunk-size N       bytes of input per chunk (default 4M)\n"
    "  --icon PNG           window icon\n"
    "  --banner PNG         picture for the top of the window\n"
    "  --split SIZE         split into volume files of at most SIZE bytes (K, M, G suffixes)\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  const kestrum::Args args(argv + 2, argv + argc);
  if (command == "pack") return kestrum::RunPack(args);
  if (command == "list") return kestrum::RunList(args);
  if (command == "extract") return kestrum::RunExtract(args, false);
  if (command == "test") return kestrum::RunExtract(args, true);
  std::fprintf(stderr, "kestrum: unknown command '%s'\n%s", command.c_str(), kUsage);
  return 2;
}
