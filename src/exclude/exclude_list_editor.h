#pragma once

#include <string>

#include "engine/file_system_port.h"
#include "engine/messages.h"
#include "engine/path_syntax.h"

namespace tidemark {

/// What the exclude list editor's logic sees of its window.
class ExcludeListEditorView {
  public:
    virtual ~ExcludeListEditorView() = default;
    /// The text of txtExcludeList, lines separated by CR LF.
    virtual std::string ExcludeText() = 0;
    /// Replaces the text of txtExcludeList (raises its change notification).
    virtual void SetExcludeText(const std::string& text) = 0;
    virtual void SetSaveEnabled(bool enabled) = 0;
};

/// The exclude list editor: opens with the cleaned text of the exclude list file, enables Save
/// on every change, and on Save cleans the text, writes the file and replaces the in-memory
/// exclude list that runs read. Closing drops unsaved edits.
class ExcludeListEditor {
  public:
    /// `exclude_list` is the program's list; a save replaces its entries in place.
    ExcludeListEditor(TextFilePort& files, MessagePort& messages, std::string path,
                      ExcludeList& exclude_list, ExcludeListEditorView& view);

    /// The window opens: shows the cleaned text of the file (empty when there is none). A file
    /// that cannot be read is reported and the editor starts empty.
    void Opened();
    /// The window becomes active. The first time, Save is disabled, so the window opens with
    /// Save disabled even though the cleaning may have changed the text; later activations
    /// leave it alone so that unsaved edits can still be saved.
    void Activated();
    /// The text changed, by typing or by code.
    void TextChanged();
    /// Save: cleans the shown text, writes it to the file and replaces the exclude list, then
    /// disables Save. A failed write is reported; the list stays and Save stays enabled.
    bool SaveClicked();

  private:
    TextFilePort& files_;
    MessagePort& messages_;
    std::string path_;
    ExcludeList& exclude_list_;
    ExcludeListEditorView& view_;
    bool activated_ = false;
};

}  // namespace tidemark
