#include "exclude/exclude_list_text.h"

namespace tidemark {

ExcludeList ParseExcludeList(std::string_view text) {
    ExcludeList entries;
    while (true) {
        const std::size_t line_feed = text.find('\n');
        std::string_view entry = text.substr(0, line_feed);
        if (line_feed != std::string_view::npos && !entry.empty() && entry.back() == '\r') {
            entry.remove_suffix(1);
        }
        entries.emplace_back(entry);
        if (line_feed == std::string_view::npos) {
            return entries;
        }
        text.remove_prefix(line_feed + 1);
    }
}

std::string ReplaceAll(std::string text, std::string_view find, std::string_view replacement) {
    if (find.empty()) {
        return text;
    }
    while (text.find(find) != std::string::npos) {
        std::string replaced;
        replaced.reserve(text.size());
        std::size_t from = 0;
        for (std::size_t found; (found = text.find(find, from)) != std::string::npos;) {
            replaced.append(text, from, found - from);
            replaced += replacement;
            from = found + find.size();
        }
        replaced.append(text, from);
        text = std::move(replaced);
        if (replacement.size() >= find.size()) {
            break;
        }
    }
    return text;
}

std::string CleanExcludeText(std::string_view text) {
    // Repeated replacement is quadratic on long runs of spaces; these scans are not.
    // Pass 1: CR LF pairs cannot overlap, so each maximal run of them collapses to one.
    std::string single_breaks;
    single_breaks.reserve(text.size());
    bool after_break = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "\r\n") == 0) {
            if (!after_break) {
                single_breaks += "\r\n";
            }
            after_break = true;
            i += 2;
        } else {
            single_breaks += text[i];
            after_break = false;
            ++i;
        }
    }
    // Pass 2: the spaces that follow a line break go.
    std::string no_leading;
    no_leading.reserve(single_breaks.size());
    for (std::size_t i = 0; i < single_breaks.size();) {
        if (single_breaks.compare(i, 2, "\r\n") == 0) {
            no_leading += "\r\n";
            i += 2;
            while (i < single_breaks.size() && single_breaks[i] == ' ') {
                ++i;
            }
        } else {
            no_leading += single_breaks[i];
            ++i;
        }
    }
    // Pass 3: the spaces that precede a line break go.
    std::string cleaned;
    cleaned.reserve(no_leading.size());
    std::size_t pending_spaces = 0;
    for (std::size_t i = 0; i < no_leading.size(); ++i) {
        if (no_leading[i] == ' ') {
            ++pending_spaces;
            continue;
        }
        if (no_leading.compare(i, 2, "\r\n") != 0) {
            cleaned.append(pending_spaces, ' ');
        }
        pending_spaces = 0;
        cleaned += no_leading[i];
    }
    cleaned.append(pending_spaces, ' ');
    return cleaned;
}

std::string WithCrLfLineBreaks(std::string_view text) {
    std::string converted;
    converted.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            converted += '\r';
        }
        converted += text[i];
    }
    return converted;
}

}  // namespace tidemark
