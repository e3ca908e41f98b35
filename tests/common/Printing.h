#pragma once
// One-line forms of test values, so that test names and failures stay on one line where
// GoogleTest would add an "As Text" line for UTF-8.

#include <string>
#include <string_view>

// bytes in double quotes; quotes, backslashes, control and non-ASCII bytes escaped.
std::string OneLine(std::string_view bytes);
