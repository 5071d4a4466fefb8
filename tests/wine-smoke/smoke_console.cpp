// Console check for scripts/wine/wine-run.sh: one line on each stream (the C runtime
// writes CRLF, which the script must turn into LF) and a known exit code.
#include <cstdio>

int wmain() {
  std::fputs("hello\n", stdout);
  std::fputs("smoke stderr\n", stderr);
  return 3;
}
