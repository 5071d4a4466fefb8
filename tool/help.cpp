#include "tool/help.h"

namespace kestrum {
namespace {

#define KESTRUM_EXIT_CODES                                                     \
  "\n"                                                                         \
  "exit codes: 0 success, 1 failure (the reason is printed), 2 wrong usage,\n" \
  "130 stopped (Ctrl+C, SIGTERM, SIGHUP; nothing half-written is left)\n"

const char kOverview[] =
    "usage: kestrum pack DIR -o OUT.exe [options]\n"
    "       kestrum list [--json] ARCHIVE.exe\n"
    "       kestrum extract ARCHIVE.exe [-o DIR] [--overwrite replace|skip|rename]\n"
    "       kestrum test ARCHIVE.exe\n"
    "       kestrum --version\n"
    "\n"
    "Packs a folder into a self-extracting archive for Windows, and lists, tests\n"
    "and extracts such archives. \"kestrum COMMAND --help\" (or -h) describes a\n"
    "command.\n" KESTRUM_EXIT_CODES;

const char kPack[] =
    "usage: kestrum pack DIR -o OUT.exe [options]\n"
    "\n"
    "Packs the files under DIR onto the stub as OUT.exe.\n"
    "\n"
    "  -o, --output PATH    the archive to write\n"
    "  --stub PATH          stub executable (default: the tool's own)\n"
    "  --name TEXT          archive name (default: the folder's name)\n"
    "  --description TEXT   description in QTF markup, or @FILE to read it from a file\n"
    "  --language CODE      interface language: enUS, deDE, ruRU, ... or 0 for the system's\n"
    "  --raw                store files without compression\n"
    "  --no-manifest        leave out the manifest: the SHA-256 of every file, in the\n"
    "                       header, against which extraction checks every byte\n"
    "  --level N            gzip level 0..12 (default 6; 10..12 slower, smaller)\n"
    "  --threads N          compressing threads (default: one per core)\n"
    "  --reproducible       derive the key block and archive id from what is packed\n"
    "                       (names, sizes, contents, options) instead of at random:\n"
    "                       the same input gives the same bytes, whatever the thread\n"
    "                       count. Also when SOURCE_DATE_EPOCH is set. The key is\n"
    "                       stored in plain in every archive, so this weakens nothing.\n"
    "  --chunk-size N       bytes of input per chunk (default 2M)\n"
    "  --icon PNG           window icon\n"
    "  --banner PNG         picture for the top of the window\n"
    "  --split SIZE         split into volume files OUT.001, OUT.002, ... of at most SIZE\n"
    "                       bytes each (K, M, G suffixes)\n" KESTRUM_EXIT_CODES;

const char kList[] =
    "usage: kestrum list [--json] ARCHIVE.exe\n"
    "\n"
    "Shows the archive's header and its files.\n"
    "\n"
    "  --json               everything as one JSON object\n" KESTRUM_EXIT_CODES;

const char kExtract[] =
    "usage: kestrum extract ARCHIVE.exe [-o DIR] [--overwrite replace|skip|rename]\n"
    "\n"
    "Extracts every file into DIR (default: the current folder).\n"
    "\n"
    "  -o, --output DIR     the destination folder\n"
    "  --overwrite MODE     what to do with a file that exists already: replace it,\n"
    "                       skip it, or rename the new one to \"name (2).ext\". Without\n"
    "                       it the question is asked on a terminal; elsewhere the run\n"
    "                       fails.\n" KESTRUM_EXIT_CODES;

const char kTest[] =
    "usage: kestrum test ARCHIVE.exe\n"
    "\n"
    "Reads and checks every file of the archive without writing anything.\n" KESTRUM_EXIT_CODES;

}  // namespace

const char* OverviewHelp() {
  return kOverview;
}

const char* CommandHelp(const std::string& command) {
  if (command == "pack") return kPack;
  if (command == "list") return kList;
  if (command == "extract") return kExtract;
  if (command == "test") return kTest;
  return nullptr;
}

}  // namespace kestrum
