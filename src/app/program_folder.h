#pragma once

#include <string>

#include "engine/failure.h"
#include "engine/file_system_port.h"

namespace tidemark {

/// The folder that holds the configurations, their index and the exclude list: the folder of
/// the executable when the program may write there (a portable install), otherwise the user's
/// own data folder.
std::string ChooseProgramFolder(const std::string& executable_folder,
                                bool executable_folder_writable,
                                const std::string& user_data_folder);

/// The exclude list file in the program folder.
std::string ExcludeListPathIn(const std::string& program_folder);

/// The folder of the configuration files in the program folder, with a trailing separator.
std::string ConfigurationsFolderIn(const std::string& program_folder);

/// The folder of the run log in the program folder.
std::string LogFolderIn(const std::string& program_folder);

/// Creates the configurations folder when it is missing. A failure is only answered: start-up
/// goes on without the folder and the configuration commands report their own failures.
Status EnsureConfigurationFolder(FileSystemPort& fs, const std::string& program_folder);

}  // namespace tidemark
