#pragma once

#include "app/shell_port.h"

namespace tidemark {

/// Opens files, folders and web addresses with the desktop's default handler.
class QtShell final : public ShellPort {
  public:
    bool Open(const std::string& target) override;
};

}  // namespace tidemark
