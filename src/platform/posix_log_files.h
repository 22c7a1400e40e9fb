#pragma once

#include "app/run_log.h"

namespace tidemark {

/// The run log's files on a POSIX file system. Each append opens the file for appending,
/// writes and closes it, so that another program reading the log sees whole pieces.
class PosixLogFiles final : public LogFilesPort {
  public:
    Status AppendToFile(const std::string& path, std::string_view text) override;
    std::vector<std::string> FileNames(const std::string& folder) override;
    Status RemoveFile(const std::string& path) override;
};

}  // namespace tidemark
