#pragma once

#include "engine/messages.h"

namespace tidemark::ui {

/// Message boxes as Qt shows them: the application title as caption, owned by the active
/// window, the first button the default.
class QtMessageBox final : public MessagePort {
  public:
    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon icon) override;
};

}  // namespace tidemark::ui
