#pragma once

#include <string>

#include "app/sys_info.h"

namespace tidemark {

/// Finds programs in the folders of a PATH-style list and starts them detached: the program
/// runs in a session of its own, is not a child of this process and is never waited for.
class PosixProgramLauncher final : public ProgramLauncher {
  public:
    /// `search_path` is a colon-separated folder list such as the PATH variable. Empty and
    /// relative entries are ignored, so nothing is ever started from the current folder.
    explicit PosixProgramLauncher(std::string search_path);

    /// A launcher over the PATH of this process's environment.
    static PosixProgramLauncher FromEnvironment();

    std::string FindOnPath(const std::string& name) override;
    Status StartDetached(const std::string& program) override;

  private:
    std::string search_path_;
};

}  // namespace tidemark
