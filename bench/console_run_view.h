#pragma once

#include <cstdio>

#include "engine/run_view.h"

namespace tidemark::bench {

/// A run view without a window: results lines go to standard output, one per line, message
/// texts to standard error; every question is answered Yes and every message OK.
class ConsoleRunView final : public RunView {
  public:
    explicit ConsoleRunView(std::FILE* lines = stdout, std::FILE* messages = stderr)
        : lines_(lines), messages_(messages) {}

    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon icon) override;
    void AddLine(const ResultLine& line) override;
    void ClearResults() override {}
    void SetStatus(const std::string&) override {}
    void SetProgressMaximum(std::int64_t) override {}
    void SetProgressValue(std::int64_t) override {}
    void SetTimeRemaining(const std::string&) override {}
    void SetCalculatingNoteVisible(bool) override {}
    void SetPauseCaption(const std::string&) override {}
    void SetLocations(const std::string&, const std::string&) override {}
    void RefreshStyleDescription() override {}
    void BeginRun() override {}
    void ShowPassButtons() override {}
    void EndRun() override {}
    void Repaint() override {}
    void ProcessEvents() override {}
    void Sleep(std::chrono::milliseconds) override {}

  private:
    std::FILE* lines_;
    std::FILE* messages_;
};

}  // namespace tidemark::bench
