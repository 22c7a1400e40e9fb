#pragma once

#include <string>

namespace tidemark {

/// Asks the desktop to open a file, a folder or a web address with its default handler.
class ShellPort {
  public:
    virtual ~ShellPort() = default;
    /// True when the desktop accepted the request; nothing is reported to the user otherwise.
    virtual bool Open(const std::string& target) = 0;
};

}  // namespace tidemark
