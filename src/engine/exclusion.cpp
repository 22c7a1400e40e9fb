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
        if (upper_path.find(UpperCase(entry)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace tidemark
