#pragma once

#include "app/folder_picker_port.h"

namespace tidemark::ui {

/// The folder chooser of the "..." buttons: a modal folder dialog owned by the active window.
class QtFolderPicker final : public FolderPickerPort {
  public:
    std::string BrowseForFolder(const std::string& start_folder, const std::string& title) override;
};

}  // namespace tidemark::ui
