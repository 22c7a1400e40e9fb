#pragma once

#include <QDialog>
#include <QRect>
#include <string>

#include "engine/file_system_port.h"
#include "engine/messages.h"
#include "engine/path_syntax.h"
#include "exclude/exclude_list_editor.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tidemark::ui {

/// The exclude list editor's fixed client width and smallest client height, in pixels: the
/// window only ever changes in height.
inline constexpr int kExcludeListClientWidth = 412;
inline constexpr int kExcludeListMinimumClientHeight = 234;

/// Where the editor's resize rules put its controls, in pixels of the client area.
struct ExcludeListLayout {
    QRect lbl_description;
    QRect txt_exclude_list;
    QRect cmd_save;
    QRect cmd_close;
};

/// The resize rules for a client area of that height: the text box grows and shrinks with the
/// window and the two buttons keep their distance from its bottom edge. `extra_label_height`
/// is what the description needs beyond its designed height in the current font; the text box
/// starts that much lower. Widths and left edges never change.
ExcludeListLayout LayoutExcludeListWindow(int client_height, int extra_label_height = 0);

/// The modal exclude list editor "Exclude Files and Folders List": the cleaned text of the
/// exclude list file, Save (enabled by a change since the last save or the opening) and Close
/// (drops unsaved edits). Saving writes the file and replaces the program's exclude list, so
/// the next run uses it.
class FrmExcludeList final : public QDialog, private ExcludeListEditorView {
    Q_OBJECT

  public:
    /// Reads the file at `path` at once. `exclude_list` is the list runs read; it must outlive
    /// the window. Failed reads and writes are reported through `messages`.
    FrmExcludeList(TextFilePort& files, MessagePort& messages, const std::string& path,
                   ExcludeList& exclude_list, QWidget* parent = nullptr);

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::string ExcludeText() override;
    void SetExcludeText(const std::string& text) override;
    void SetSaveEnabled(bool enabled) override;

    QLabel* lbl_description_ = nullptr;
    QPlainTextEdit* txt_exclude_list_ = nullptr;
    QPushButton* cmd_save_ = nullptr;
    QPushButton* cmd_close_ = nullptr;
    int extra_label_height_ = 0;
    ExcludeListEditor editor_;
};

/// The "Edit Exclude List" link: shows the editor modally over `parent` and returns when it
/// closes.
void ShowExcludeListEditor(TextFilePort& files, MessagePort& messages, const std::string& path,
                           ExcludeList& exclude_list, QWidget* parent);

}  // namespace tidemark::ui
