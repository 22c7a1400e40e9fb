#include "tests/support/corrupt_text.h"

#include <random>

namespace tidemark::testing {

std::vector<CorruptText> CorruptVersionsOf(const std::string& intact) {
    std::mt19937 random(20240601);
    std::string binary(64 * 1024, '\0');
    for (char& byte : binary) {
        byte = static_cast<char>(random() & 0xff);
    }
    std::string cr_only;
    std::string utf16 = "\xff\xfe";
    std::string with_nul;
    for (const char c : intact) {
        if (c != '\n') {
            cr_only += c;
        }
        utf16 += c;
        utf16 += '\0';
        with_nul += c;
        if (c == '\n') {
            with_nul += '\0';
        }
    }
    const std::size_t half_lines = [&] {
        std::size_t breaks = 0;
        for (std::size_t i = 0; i < intact.size(); ++i) {
            if (intact[i] == '\n' && ++breaks == 4) {
                return i + 1;
            }
        }
        return intact.size();
    }();
    return {
        {"random binary bytes", binary},
        {"zeros", std::string(intact.size() + 4096, '\0')},
        {"cut in the middle of a line", intact.substr(0, intact.size() / 2 + 1)},
        {"its last lines missing", intact.substr(0, half_lines)},
        {"an 8 MiB line first", std::string(8 << 20, '7') + "\r\n" + intact},
        {"line breaks of CR alone", cr_only},
        {"UTF-16", utf16},
        {"a byte-order mark", "\xef\xbb\xbf" + intact},
        {"NUL bytes after the line breaks", with_nul},
        {"binary bytes after the text", intact + binary.substr(0, 4096)},
    };
}

}  // namespace tidemark::testing
