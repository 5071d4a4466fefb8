// Writes an archive of many empty files in nested folders onto a stub, to
// measure how fast the window comes up for a large file table.
//   make_listing_archive STUB.exe OUT.exe COUNT [--description]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/archive_builder.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make_listing_archive STUB.exe OUT.exe COUNT [--description]\n");
    return 2;
  }
  namespace t = kestrum::test;
  t::TestArchive a;
  a.stub = t::ReadAll(argv[1]);
  if (a.stub.size() < 64) {
    std::fprintf(stderr, "cannot read the stub %s\n", argv[1]);
    return 1;
  }
  a.archive_name = "Large listing";
  if (argc > 4) a.description = "[* Many files]: a table of [/ one hundred thousand] entries.";
  const long count = std::atol(argv[3]);
  for (long i = 0; i < count; ++i) {
    t::TestEntry e;
    // 10 top folders, 100 below each, then the files.
    e.name = "group" + std::to_string(i % 10) + "\\set" + std::to_string(i % 1000 / 10) + "\\file" +
             std::to_string(i) + ".txt";
    a.entries.push_back(e);
  }
  const t::Bytes bytes = a.Build();
  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return 1;
  std::fclose(f);
  std::printf("%s: %ld entries, %zu bytes\n", argv[2], count, bytes.size());
  return 0;
}
