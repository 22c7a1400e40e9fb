#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_system_port.h"

namespace tidemark {

/// The destination root where it lies inside the source tree, spelled as the source tree
/// reaches it or reached there another way (a mount): a pass neither counts nor walks it, or
/// each pass would copy the last one's copy again, one level deeper.
struct FolderGuard {
    /// The destination root's place in the source tree by its spelling; empty for none.
    std::string path;
    /// The destination root's identity, where the file system tells it.
    std::optional<FolderIdentity> identity;
    /// Source folders the workload count found to be the destination root by their identity.
    std::vector<std::string> found;

    /// True for a source folder that is the destination root.
    bool Guards(const std::string& folder) const {
        return (!path.empty() && folder == path) ||
               std::find(found.begin(), found.end(), folder) != found.end();
    }
    /// True for the listing of the destination root.
    bool Guards(const FolderListing& listing) const {
        return identity && listing.identity == identity;
    }
};

}  // namespace tidemark
