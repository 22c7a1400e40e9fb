#include "engine/path_syntax.h"

#include <cstdint>

namespace tidemark {

bool PathSyntax::IsComplete(std::string_view path) const {
    if (drive_letters) {
        return path.size() >= 2 && path[1] == ':';
    }
    return !path.empty() && path.front() == separator;
}

bool PathSyntax::SameText(std::string_view a, std::string_view b) const {
    return fold_case ? UpperCase(a) == UpperCase(b) : a == b;
}

namespace {

/// FixBackslash in place. Every file's destination path passes through here, and most need
/// nothing done: those are found with one search.
void FixSeparators(std::string& path, const PathSyntax& syntax) {
    const char doubled[] = {syntax.separator, syntax.separator};
    if (syntax.alternative == '\0' &&
        path.find(std::string_view(doubled, 2)) == std::string::npos) {
        return;
    }
    char* out = path.data();
    bool after_separator = false;
    for (const char c : path) {
        const bool separator = syntax.IsSeparator(c);
        if (separator && after_separator) {
            continue;
        }
        *out++ = separator ? syntax.separator : c;
        after_separator = separator;
    }
    path.resize(static_cast<std::size_t>(out - path.data()));
}

}  // namespace

std::string FixBackslash(std::string_view path, const PathSyntax& syntax) {
    std::string fixed(path);
    FixSeparators(fixed, syntax);
    return fixed;
}

std::string JoinPath(std::string_view folder, std::string_view name, const PathSyntax& syntax) {
    std::string joined;
    joined.reserve(folder.size() + 1 + name.size());
    joined.append(folder);
    if (joined.empty() || !syntax.IsSeparator(joined.back())) {
        joined.push_back(syntax.separator);
    }
    joined.append(name);
    return joined;
}

std::string DestinationPathOf(std::string_view item_path, std::string_view source_root,
                              std::string_view destination_root, const PathSyntax& syntax) {
    std::string_view remainder = item_path;
    if (syntax.StartsWith(item_path, source_root)) {
        remainder.remove_prefix(source_root.size());
    }
    std::string joined = JoinPath(destination_root, remainder, syntax);
    FixSeparators(joined, syntax);
    return joined;
}

namespace {

// Latin Extended-A pairs upper and lower case letters; in these ranges the upper case letter
// sits at an even or at an odd code point.
bool IsLowerInLatinExtendedA(char32_t c) {
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c % 2 == 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return c % 2 == 0;
    return false;
}

char32_t UpperCodePoint(char32_t c) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (IsLowerInLatinExtendedA(c))
        return c - 1;
    if (c == 0x3C2)
        return 0x3A3;  // final sigma
    if (c >= 0x3B1 && c <= 0x3C9)
        return c - 0x20;
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

/// Every letter UpperCodePoint maps, and every upper case it gives, is a two-byte character.
void AppendTwoByteUtf8(std::string& out, char32_t c) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

}  // namespace

std::string UpperCase(std::string_view text) {
    std::string upper;
    upper.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte < 0x80) {
            upper.push_back(byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 0x20)
                                                       : static_cast<char>(byte));
            ++i;
            continue;
        }
        // Two-byte sequences cover every letter we map; anything else is copied as it is,
        // so invalid UTF-8 passes through untouched.
        if ((byte & 0xE0) == 0xC0 && i + 1 < text.size() &&
            (static_cast<std::uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
            char32_t c = ((byte & 0x1Fu) << 6) | (static_cast<std::uint8_t>(text[i + 1]) & 0x3Fu);
            if (c >= 0x80) {
                AppendTwoByteUtf8(upper, UpperCodePoint(c));
                i += 2;
                continue;
            }
        }
        upper.push_back(static_cast<char>(byte));
        ++i;
    }
    return upper;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool IsExcluded(std::string_view path, const ExcludeList& entries) {
    std::string upper_path;
    for (const std::string& entry : entries) {
        if (TrimSpaces(entry).empty()) {
            continue;
        }
        if (upper_path.empty()) {
            upper_path = UpperCase(path);
        }
        // Upper-casing at most halves an entry, so one over twice the path's length cannot
        // be in it; skipping it spares every file the cost of a huge entry (a damaged file).
        if (entry.size() > 2 * upper_path.size()) {
            continue;
        }
        if (upper_path.find(UpperCase(entry)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace tidemark
