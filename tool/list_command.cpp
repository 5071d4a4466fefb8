#include <cstdio>
#include <string>

#include "archive/unzipper.h"
#include "tool/cli_platform.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "view/archive_listing.h"

namespace kestrum {

int RunList(const Args& args) {
  bool json = false;
  std::string path;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (!a.empty() && a[0] == '-')
      return UsageError("unknown option " + a);
    else if (path.empty())
      path = a;
    else
      return UsageError("unexpected argument " + a);
  }
  if (path.empty()) return UsageError("list needs an archive");
  CliPlatform platform;
  UnZipper archive(platform);
  if (const int failed = OpenArchive(archive, path)) return failed;
  const ListingSink out = [](const std::string& piece) { Write(stdout, piece); };
  if (json) {
    // The digests stay in the file until something needs them.
    if (!archive.ReadManifest())
      return Failure(path + ": damaged archive: the manifest cannot be read");
    WriteListingJson(archive, out);
  } else
    WriteListingText(archive, out);
  return 0;
}

}  // namespace kestrum
