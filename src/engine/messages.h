#pragma once

#include <string>

namespace tidemark {

enum class MessageButtons { kOk, kYesNo, kYesNoCancel };
enum class MessageIcon { kNone, kQuestion, kCritical };
enum class MessageAnswer { kOk, kYes, kNo, kCancel };

/// Message boxes: titled with the application title, the first button the default.
class MessagePort {
  public:
    virtual ~MessagePort() = default;
    /// Shows the text modally and answers the button pressed.
    virtual MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                                      MessageIcon icon) = 0;
};

}  // namespace tidemark
