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

}  // namespace tidemark
