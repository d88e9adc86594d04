#pragma once
// The UTF-16 string that captions, titles and exception messages take.
#include <string>

using UnicodeString = std::u16string;
