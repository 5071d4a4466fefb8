#include "view/archive_listing.h"

#include "archive/unzipper.h"
#include "i18n/language_code.h"
#include "view/json_text.h"
#include "view/printf_text.h"
#include "view/size_view.h"
#include "view/terminal_text.h"

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

std::string Json(const UnZipper& a) {
  std::string out;
  const HeaderRecord& h = a.header;
  out += Format("{\n");
  out += Format("  \"archive_name\": %s,\n", JsonString(a.archive_name).c_str());
  out += Format("  \"file_length\": %llu,\n", ull(a.file_length));
  out += Format("  \"format\": %u,\n", unsigned(h.format));
  out += Format("  \"split\": %s,\n", a.IsSplit() ? "true" : "false");
  out += Format("  \"volume_count\": %u,\n", a.volume_count);
  out += Format("  \"archive_id\": %u,\n", h.archive_id);
  out += Format("  \"language\": %u,\n", h.language);
  out += Format("  \"description\": %s,\n", JsonString(h.description).c_str());
  out += Format("  \"text_records\": %zu,\n", h.text_records.size());
  out += Format("  \"manifest\": %s,\n", a.HasManifest() ? "true" : "false");
  out += Format("  \"has_icon\": %s,\n", h.icon.empty() ? "false" : "true");
  out += Format("  \"has_banner\": %s,\n", h.banner.empty() ? "false" : "true");
  out += Format("  \"entries\": [");
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const ArchiveEntry& e = a.entries[i];
    const std::string digest =
        a.HasManifest() ? ", \"sha256\": \"" + Hex(a.ManifestDigest(i)) + "\"" : "";
    out += Format(
        "%s\n    {\"name\": %s, \"size\": %llu, \"stored_size\": %llu, "
        "\"stored_raw\": %s, \"data_offset\": %llu%s}",
        i ? "," : "", JsonString(e.name).c_str(), ull(e.size), ull(e.stored_size),
        e.stored_raw ? "true" : "false", ull(e.data_offset), digest.c_str());
  }
  out += Format("%s]\n}\n", a.entries.empty() ? "" : "\n  ");
  return out;
}

std::string Text(const UnZipper& a) {
  std::string out;
  const HeaderRecord& h = a.header;
  SizeView sizes;
  const std::string language = FormatLanguageCode(h.language);
  // Everything here but the numbers comes from the archive: escaped.
  out += Format("Archive:      %s\n", TerminalSafe(a.archive_name).c_str());
  out += Format("Size:         %s (%llu bytes)\n", sizes.Format(int64_t(a.file_length)).c_str(),
                ull(a.file_length));
  if (a.IsSplit())
    out += Format("Layout:       split into %u files\n", a.volume_count);
  else
    out += Format("Layout:       single file\n");
  out += Format("Archive id:   %u\n", h.archive_id);
  out += Format("Language:     %s\n", language.empty() ? "the system's" : language.c_str());
  out += Format("Icon, banner: %s, %s\n", h.icon.empty() ? "no" : "yes",
                h.banner.empty() ? "no" : "yes");
  out += Format("Manifest:     %s\n", a.HasManifest() ? "SHA-256 of every file" : "none");
  if (!h.description.empty()) {
    out += Format("Description:  ");
    InPieces(h.description, [&](const std::string& piece) { out += TerminalSafe(piece); });
    out += Format("\n");
  }
  out += Format("Files:        %zu, %s\n\n", a.entries.size(),
                sizes.Format(int64_t(a.size_total)).c_str());
  out += Format("%12s %12s  %-6s %s\n", "Size", "Stored", "Method", "Name");
  for (const ArchiveEntry& e : a.entries)
    out += Format("%12llu %12llu  %-6s %s\n", ull(e.size), ull(e.stored_size),
                  e.stored_raw ? "raw" : "gzip", TerminalSafe(e.name).c_str());
  return out;
}

}  // namespace

std::string ListingText(const UnZipper& archive) {
  return Text(archive);
}

std::string ListingJson(const UnZipper& archive) {
  return Json(archive);
}

}  // namespace kestrum
