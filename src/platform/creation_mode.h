#pragma once

#include <sys/types.h>

#include <optional>

namespace tidemark {

/// The permission bits the process's umask takes from what it makes, as /proc tells them;
/// nothing where they cannot be told.
std::optional<mode_t> ProcessUmask();

/// Whether a file made in the open folder `folder` gets exactly the permission bits it is made
/// with, less the umask's: the file system keeps the bits it is given, and the folder passes on
/// no default access list, which would decide them instead.
bool FolderKeepsGivenBits(int folder);

}  // namespace tidemark
