#pragma once

#include <random>
#include <string>
#include <vector>

namespace tidemark::testing {

/// A damaged version of a program file, and what damaged it.
struct CorruptText {
    std::string what;
    std::string text;
};

/// The ways a text file of the program gets damaged, applied to its intact text: random
/// binary bytes, zeros (what a crash can leave), the text cut short or only its first four
/// lines left, a line of 8 MiB, line breaks of CR alone, UTF-16, a byte-order mark, and NUL
/// bytes inside lines. The same intact text always gives the same damaged ones.
inline std::vector<CorruptText> CorruptVersionsOf(const std::string& intact) {
    std::mt19937 random(20240601);
    std::string binary(64 * 1024, '\0');
    for (char& byte : binary)
        byte = static_cast<char>(random() & 0xff);
    std::string cr_only;
    std::string utf16 = "\xff\xfe";
    std::string with_nul;
    for (const char c : intact) {
        if (c != '\n')
            cr_only += c;
        utf16 += {c, '\0'};
        with_nul += c;
        if (c == '\n')
            with_nul += '\0';
    }
    std::size_t four_lines = 0;
    for (int line = 0; line < 4; ++line)
        four_lines = intact.find('\n', four_lines) + 1;
    return {
        {"random binary bytes", binary},
        {"zeros", std::string(intact.size() + 4096, '\0')},
        {"cut in the middle of a line", intact.substr(0, intact.size() / 2 + 1)},
        {"its last lines missing", intact.substr(0, four_lines)},
        {"an 8 MiB line first", std::string(8 << 20, '7') + "\r\n" + intact},
        {"line breaks of CR alone", cr_only},
        {"UTF-16", utf16},
        {"a byte-order mark", "\xef\xbb\xbf" + intact},
        {"NUL bytes after the line breaks", with_nul},
        {"binary bytes after the text", intact + binary.substr(0, 4096)},
    };
}

}  // namespace tidemark::testing
