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

// `n` right-aligned in `width` characters, as "%*llu" would write it.
void AppendRight(std::string& out, uint64_t n, size_t width) {
  char digits[20];
  size_t count = 0;
  do {
    digits[count++] = char('0' + n % 10);
    n /= 10;
  } while (n);
  if (count < width) out.append(width - count, ' ');
  while (count) out += digits[--count];
}

std::string Hex(const uint8_t* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < kDigestSize; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

// Hands `out` on once it holds enough, so that a table of a million entries
// is never held as one text.
void Flush(std::string& out, const ListingSink& sink, size_t at_least = 64 * 1024) {
  if (out.size() < at_least) return;
  sink(out);
  out.clear();
}

void Json(const UnZipper& a, const ListingSink& sink) {
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
  out += Format("  \"text_records\": %zu,\n", h.text_record_count());
  out += Format("  \"manifest\": %s,\n", a.HasManifest() ? "true" : "false");
  out += Format("  \"has_icon\": %s,\n", h.icon.empty() ? "false" : "true");
  out += Format("  \"has_banner\": %s,\n", h.banner.empty() ? "false" : "true");
  out += Format("  \"entries\": [");
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const ArchiveEntry& e = a.entries[i];
    // The digests, when the caller has read them (UnZipper::ReadManifest).
    const uint8_t* sha = a.ManifestDigest(i);
    const std::string digest = sha ? ", \"sha256\": \"" + Hex(sha) + "\"" : "";
    out += Format(
        "%s\n    {\"name\": %s, \"size\": %llu, \"stored_size\": %llu, "
        "\"stored_raw\": %s, \"data_offset\": %llu%s}",
        i ? "," : "", JsonString(a.Name(e)).c_str(), ull(e.size), ull(e.stored_size),
        e.stored_raw ? "true" : "false", ull(e.data_offset), digest.c_str());
    Flush(out, sink);
  }
  out += Format("%s]\n}\n", a.entries.empty() ? "" : "\n  ");
  Flush(out, sink, 0);
}

void Text(const UnZipper& a, const ListingSink& sink) {
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
  for (const ArchiveEntry& e : a.entries) {
    // One line per entry as "%12llu %12llu  %-6s %s\n" would write it, a
    // good deal faster for a million entries.
    AppendRight(out, e.size, 12);
    out += ' ';
    AppendRight(out, e.stored_size, 12);
    out += e.stored_raw ? "  raw    " : "  gzip   ";
    out += TerminalSafe(a.Name(e));
    out += '\n';
    Flush(out, sink);
  }
  Flush(out, sink, 0);
}

}  // namespace

void WriteListingText(const UnZipper& archive, const ListingSink& sink) {
  Text(archive, sink);
}

void WriteListingJson(const UnZipper& archive, const ListingSink& sink) {
  Json(archive, sink);
}

std::string ListingText(const UnZipper& archive) {
  std::string all;
  Text(archive, [&all](const std::string& piece) { all += piece; });
  return all;
}

std::string ListingJson(const UnZipper& archive) {
  std::string all;
  Json(archive, [&all](const std::string& piece) { all += piece; });
  return all;
}

}  // namespace kestrum
