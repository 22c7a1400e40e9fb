#pragma once

#include <sys/stat.h>

#include "engine/failure.h"

namespace tidemark {

/// Copies the data, owner (where the process may), permission bits and times of the open
/// regular file `in` into `out`, leaving out the holes of a sparse file. `source` is the
/// file's status from before it was opened; `has_bits`: `out` was made with its bits. Fails with
/// SourceChanged() when the file ends before its size, or when, once the data is copied, `in` is
/// not that file or its size or its times differ: what was copied may then be another file or a
/// mixture of two versions.
Status CopyRegularFileInto(int in, const struct stat& source, int out, bool has_bits);

}  // namespace tidemark
