#include "exclude/exclude_list_editor.h"

#include <utility>

#include "exclude/exclude_list_text.h"

namespace tidemark {

ExcludeListEditor::ExcludeListEditor(TextFilePort& files, MessagePort& messages, std::string path,
                                     ExcludeList& exclude_list, ExcludeListEditorView& view)
    : files_(files),
      messages_(messages),
      path_(std::move(path)),
      exclude_list_(exclude_list),
      view_(view) {}

void ExcludeListEditor::Opened() {
    Result<std::string> text = files_.ReadTextFile(path_);
    if (!text) {
        messages_.ShowMessage(
            "The file " + path_ + " could not be read:\r\n\r\n" + text.failure().description,
            MessageButtons::kOk, MessageIcon::kCritical);
        view_.SetExcludeText({});
        return;
    }
    view_.SetExcludeText(CleanExcludeText(WithCrLfLineBreaks(*text)));
}

void ExcludeListEditor::Activated() {
    if (!activated_) {
        activated_ = true;
        view_.SetSaveEnabled(false);
    }
}

void ExcludeListEditor::TextChanged() {
    view_.SetSaveEnabled(true);
}

bool ExcludeListEditor::SaveClicked() {
    view_.SetExcludeText(CleanExcludeText(view_.ExcludeText()));
    const std::string text = view_.ExcludeText();
    if (Status written = files_.WriteTextFile(path_, text); !written) {
        messages_.ShowMessage(
            "The file " + path_ + " could not be saved:\r\n\r\n" + written.failure().description,
            MessageButtons::kOk, MessageIcon::kCritical);
        view_.SetSaveEnabled(true);
        return false;
    }
    exclude_list_ = text.empty() ? ExcludeList() : ParseExcludeList(text);
    view_.SetSaveEnabled(false);
    return true;
}

}  // namespace tidemark
