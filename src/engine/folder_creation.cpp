#include "engine/folder_creation.h"

namespace tidemark {

bool EnsureFolderPath(FileSystemPort& fs, const std::string& path) {
    const PathSyntax& syntax = fs.Syntax();
    // A drive-letter path starts from "X:"; a POSIX path from the root, whose first element
    // is the empty text before the leading separator.
    std::string accumulated = syntax.drive_letters ? path.substr(0, 2) : std::string();
    std::size_t start = path.find(syntax.separator);
    while (start != std::string::npos) {
        const std::size_t end = path.find(syntax.separator, start + 1);
        accumulated += syntax.separator;
        accumulated += path.substr(start + 1, end == std::string::npos ? end : end - start - 1);
        if (!fs.FolderExists(accumulated) && !fs.CreateFolder(accumulated)) {
            return false;
        }
        start = end;
    }
    return true;
}

void CreateFolderPath(FileSystemPort& fs, MessagePort& messages, const std::string& path) {
    const PathSyntax& syntax = fs.Syntax();
    if (!syntax.IsComplete(path)) {
        messages.ShowMessage(
            "You must use a complete file path from a root drive when creating folders!  Ex. " +
                syntax.RootExample(),
            MessageButtons::kOk, MessageIcon::kNone);
        return;
    }
    if (!EnsureFolderPath(fs, path)) {
        messages.ShowMessage("There were errors creating the folder " + path, MessageButtons::kOk,
                             MessageIcon::kCritical);
    }
}

}  // namespace tidemark
