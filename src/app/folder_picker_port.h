#pragma once

#include <string>

namespace tidemark {

/// The title a folder chooser shows when the caller gives none.
inline constexpr const char* kDefaultPickerTitle = "Please select a Folder...";

/// A modal folder chooser.
class FolderPickerPort {
  public:
    virtual ~FolderPickerPort() = default;

    /// Lets the user choose a folder, starting at `start_folder` (shown selected when it
    /// exists). An empty title shows kDefaultPickerTitle. Answers the chosen folder's path
    /// exactly as the system gives it; empty text on cancel, when no chooser can be shown, or
    /// when the choice is not a folder.
    virtual std::string BrowseForFolder(const std::string& start_folder,
                                        const std::string& title) = 0;
};

}  // namespace tidemark
