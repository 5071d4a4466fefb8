#include <cstdio>
#include <string>

#include "view/size_view.h"
#include "archive/unzipper.h"
#include "i18n/language_code.h"
#include "tool/cli_platform.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/json_writer.h"
#include "tool/terminal_text.h"

namespace kestrum {
namespace {

using ull = unsigned long long;

std::string Hex(const uint8_t* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < kDigestSize; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

void PrintJson(const UnZipper& a) {
  const HeaderRecord& h = a.header;
  Print("{\n");
  Print("  \"archive_name\": %s,\n", JsonString(a.archive_name).c_str());
  Print("  \"file_length\": %llu,\n", ull(a.file_length));
  Print("  \"format\": %u,\n", unsigned(h.format));
  Print("  \"split\": %s,\n", a.IsSplit() ? "true" : "false");
  Print("  \"volume_count\": %u,\n", a.volume_count);
  Print("  \"archive_id\": %u,\n", h.archive_id);
  Print("  \"language\": %u,\n", h.language);
  Print("  \"description\": %s,\n", JsonString(h.description).c_str());
  Print("  \"text_records\": %zu,\n", h.text_records.size());
  Print("  \"manifest\": %s,\n", a.HasManifest() ? "true" : "false");
  Print("  \"has_icon\": %s,\n", h.icon.empty() ? "false" : "true");
  Print("  \"has_banner\": %s,\n", h.banner.empty() ? "false" : "true");
  Print("  \"entries\": [");
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const ArchiveEntry& e = a.entries[i];
    const std::string digest =
        a.HasManifest() ? ", \"sha256\": \"" + Hex(a.ManifestDigest(i)) + "\"" : "";
    Print(
        "%s\n    {\"name\": %s, \"size\": %llu, \"stored_size\": %llu, "
        "\"stored_raw\": %s, \"data_offset\": %llu%s}",
        i ? "," : "", JsonString(e.name).c_str(), ull(e.size), ull(e.stored_size),
        e.stored_raw ? "true" : "false", ull(e.data_offset), digest.c_str());
  }
  Print("%s]\n}\n", a.entries.empty() ? "" : "\n  ");
}

void PrintText(const UnZipper& a) {
  const HeaderRecord& h = a.header;
  SizeView sizes;
  const std::string language = FormatLanguageCode(h.language);
  // Everything here but the numbers comes from the archive: escaped.
  Print("Archive:      %s\n", TerminalSafe(a.archive_name).c_str());
  Print("Size:         %s (%llu bytes)\n", sizes.Format(int64_t(a.file_length)).c_str(),
        ull(a.file_length));
  if (a.IsSplit())
    Print("Layout:       split into %u files\n", a.volume_count);
  else
    Print("Layout:       single file\n");
  Print("Archive id:   %u\n", h.archive_id);
  Print("Language:     %s\n", language.empty() ? "the system's" : language.c_str());
  Print("Icon, banner: %s, %s\n", h.icon.empty() ? "no" : "yes", h.banner.empty() ? "no" : "yes");
  Print("Manifest:     %s\n", a.HasManifest() ? "SHA-256 of every file" : "none");
  if (!h.description.empty()) {
    Print("Description:  ");
    InPieces(h.description, [](const std::string& piece) { Write(stdout, TerminalSafe(piece)); });
    Print("\n");
  }
  Print("Files:        %zu, %s\n\n", a.entries.size(), sizes.Format(int64_t(a.size_total)).c_str());
  Print("%12s %12s  %-6s %s\n", "Size", "Stored", "Method", "Name");
  for (const ArchiveEntry& e : a.entries)
    Print("%12llu %12llu  %-6s %s\n", ull(e.size), ull(e.stored_size),
          e.stored_raw ? "raw" : "gzip", TerminalSafe(e.name).c_str());
}

}  // namespace

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
  if (json)
    PrintJson(archive);
  else
    PrintText(archive);
  return 0;
}

}  // namespace kestrum
