#include "app/program_folder.h"

namespace tidemark {

namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace

std::string ChooseProgramFolder(const std::string& executable_folder,
                                bool executable_folder_writable,
                                const std::string& user_data_folder) {
    return executable_folder_writable ? executable_folder : user_data_folder;
}

std::string ExcludeListPathIn(const std::string& program_folder) {
    return InFolder(program_folder, "ExcludeList.txt");
}

std::string ConfigurationsFolderIn(const std::string& program_folder) {
    return InFolder(program_folder, "configurations/");
}

std::string LogFolderIn(const std::string& program_folder) {
    return InFolder(program_folder, "logs");
}

Status EnsureConfigurationFolder(FileSystemPort& fs, const std::string& program_folder) {
    std::string folder = ConfigurationsFolderIn(program_folder);
    folder.pop_back();
    if (fs.FolderExists(folder)) {
        return Status::Ok();
    }
    return fs.CreateFolder(folder);
}

}  // namespace tidemark
