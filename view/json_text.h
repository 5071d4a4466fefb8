// JSON string literals for the listings that tool and stub print.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum {

// A JSON string literal; invalid UTF-8 becomes U+FFFD so the output stays valid.
std::string JsonString(std::string_view text);

}  // namespace kestrum
