// JSON string literals for the listings that tool and stub print.
#pragma once

#include <cstdint>
#include <string>

namespace kestrum {

// A JSON string literal; invalid UTF-8 becomes U+FFFD so the output stays valid.
std::string JsonString(const std::string& text);

}  // namespace kestrum
