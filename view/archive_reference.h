// The archive reference token that the window's links carry, and the links
// themselves.
#pragma once

#include <cstdint>
#include <string>

namespace kestrum {

// The service web site every link begins with (no trailing slash).
constexpr char kServiceSite[] = "https://www.kestrum.org";

// A number from 100 to 999, drawn once per process from a generator seeded
// with the time; the same value on every call.
int RefRandom();

// r in decimal followed by r XOR archive_id in decimal, both unsigned:
// r 123 and id 1000 give "123915".
std::string MakeArchref(int r, uint32_t archive_id);

// The name of the service web site, shown as the caption of links to it.
constexpr char kServiceSiteName[] = "www.kestrum.org";

// The finished view's message in QTF: two paragraphs of size 1, the second
// with a link to the site's complaint page for this archive.
std::string FinishedMessageQtf(const std::string& archref);

// The About link of the bottom band, in QTF: the translated words at text
// size 2, linking to the site's archive reference page with the token.
std::string AboutLinkQtf(const std::string& archref);

}  // namespace kestrum
