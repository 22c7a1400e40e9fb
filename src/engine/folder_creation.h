#pragma once

#include <string>

#include "engine/file_system_port.h"
#include "engine/messages.h"

namespace tidemark {

/// Creates every missing level of a complete folder path, top down. True when every level
/// exists afterwards; a failure stops at once, keeping the levels created so far.
bool EnsureFolderPath(FileSystemPort& fs, const std::string& path);

/// Creates a missing destination root, reporting problems in message boxes: a path that does
/// not start at a root is refused, and a failed creation is reported as an error.
void CreateFolderPath(FileSystemPort& fs, MessagePort& messages, const std::string& path);

}  // namespace tidemark
