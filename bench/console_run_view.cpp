#include "bench/console_run_view.h"

namespace tidemark::bench {

MessageAnswer ConsoleRunView::ShowMessage(const std::string& text, MessageButtons buttons,
                                          MessageIcon) {
    std::fwrite(text.data(), 1, text.size(), messages_);
    std::fputc('\n', messages_);
    return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kYes;
}

void ConsoleRunView::AddLine(const ResultLine& line) {
    std::fwrite(line.text.data(), 1, line.text.size(), lines_);
    std::fputc('\n', lines_);
}

}  // namespace tidemark::bench
