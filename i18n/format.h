// Fills the %d and %s slots of a (translated) pattern in order. The pattern is
// never handed to printf, so a translation cannot make the program read
// arguments that are not there.
#pragma once

#include <initializer_list>
#include <string>

namespace kestrum {

// Each %d or %s takes the next value; "%%" gives "%"; slots without a value
// stay empty and values without a slot are dropped.
std::string FormatPattern(const std::string& pattern, std::initializer_list<std::string> values);

}  // namespace kestrum
