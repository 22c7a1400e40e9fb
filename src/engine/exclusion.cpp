#include "engine/exclusion.h"

#include "engine/path_syntax.h"

namespace tidemark {

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
