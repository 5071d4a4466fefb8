#include "view/archive_reference.h"

#include <chrono>
#include <random>

#include "i18n/format.h"
#include "i18n/translate.h"

namespace kestrum {

int RefRandom() {
  static const int value = [] {
    std::mt19937 rng(static_cast<uint32_t>(
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now())));
    return int(rng() % 900) + 100;
  }();
  return value;
}

std::string MakeArchref(int r, uint32_t archive_id) {
  const uint32_t x = uint32_t(r) ^ archive_id;
  return std::to_string(uint32_t(r)) + std::to_string(x);
}

std::string AboutLinkQtf(const std::string& archref) {
  return FormatPattern(std::string("[2; [^") + kServiceSite + "/archrf/?archref=%s^; ", {archref}) +
         t_("About Kestrum") + "]]";
}

}  // namespace kestrum

namespace kestrum {

std::string FinishedMessageQtf(const std::string& archref) {
  return std::string("[1; [ ") + t_("The archive is successfully unpacked.") + "]&[ " +
         t_("You can leave a response on a site") +
         FormatPattern(std::string(" [^") + kServiceSite + "/arbitration/complaint/%s/^; " +
                           kServiceSiteName + "] ",
                       {archref}) +
         t_("about conformity of files of archive declared.") + "]]";
}

}  // namespace kestrum
