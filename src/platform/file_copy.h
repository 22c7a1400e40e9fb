#pragma once

#include <sys/stat.h>

#include "engine/failure.h"

namespace tidemark {

/// Copies the data, owner (where the process may), permission bits and times of the open
/// regular file `in` into `out`, leaving out the holes of a sparse file. `source` is the
/// file's status from before it was opened. Fails with SourceChanged() when the file ends
/// before its size, or when its size or its times differ once the data is copied: what was
/// copied may then be a mixture of two versions.
Status CopyRegularFileInto(int in, const struct stat& source, int out);

}  // namespace tidemark
