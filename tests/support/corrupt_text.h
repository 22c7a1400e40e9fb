#pragma once

#include <string>
#include <vector>

namespace tidemark::testing {

/// A damaged version of a program file, and what damaged it.
struct CorruptText {
    std::string what;
    std::string text;
};

/// The ways a text file of the program gets damaged, applied to its intact text: random
/// binary bytes, zeros (what a crash can leave), the text cut short or its last lines missing,
/// a line of 8 MiB, line breaks of CR alone, UTF-16, a byte-order mark, and NUL bytes inside
/// lines. The same intact text always gives the same damaged ones.
std::vector<CorruptText> CorruptVersionsOf(const std::string& intact);

}  // namespace tidemark::testing
