#pragma once
// Letter case, as file systems that ignore it compare names.
#include <string>
#include <string_view>

// The text with every character replaced by its simple case folding (Unicode): two names
// that differ only in letter case, in any script, fold to the same text. Bytes that are not
// UTF-8 stay as they are.
std::string FoldCase(std::string_view utf8);
