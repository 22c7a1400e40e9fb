#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/failure.h"
#include "engine/file_system_port.h"
#include "engine/messages.h"
#include "engine/run_types.h"

namespace tidemark {

/// The file stem of a configuration name: the name without any of the 31 characters
/// space ` ~ ! @ # $ % ^ & * ( ) + = { [ } ] < > | \ : ; " ' , . ? /
/// Every other character, tabs and non-ASCII letters included, is kept in order.
std::string FileStem(std::string_view name);

/// The configuration text: the nine values in stored order, each followed by CR LF.
std::string GetConfigText(const SyncSettings& values);

/// The nine values of a configuration text, or nullopt when the text does not hold nine lines
/// or a number line is not a whole number its control accepts (style -1 to 2, check states 0
/// to 2). Lines end with CR LF or LF alone; lines after the ninth are ignored.
std::optional<SyncSettings> ParseConfigText(std::string_view text);

/// The names of an index text: its lines trimmed of spaces, blank lines skipped, in order,
/// without de-duplication. Lines end with CR LF or LF alone.
std::vector<std::string> ParseIndexText(std::string_view text);

/// The named configurations: one file per name in the configurations folder of the program
/// folder, and the index file "Config.txt" that lists the names of the drop-down list. Every
/// file the store cannot read or write is reported at once with a critical message naming the
/// file and the system's reason; the returned failure tells the caller to stop.
class ConfigurationStore {
  public:
    /// `messages` reports failed reads and writes.
    ConfigurationStore(FileSystemPort& fs, TextFilePort& files, MessagePort& messages,
                       const std::string& program_folder);

    /// The configurations folder, with a trailing separator.
    const std::string& FolderPath() const { return folder_path_; }
    const std::string& IndexPath() const { return index_path_; }

    /// Creates the configurations folder when it does not exist. Reports nothing: the program
    /// goes on without the folder and the later commands report their own failures.
    Status EnsureConfigurationFolder();

    /// The configuration file of a name: the configurations folder, its file stem and ".txt".
    std::string GetConfigPath(std::string_view name) const;

    /// The names of the index file (see ParseIndexText); an absent index gives none. Fails
    /// (reported) when the index exists but cannot be read.
    Result<std::vector<std::string>> LoadConfigurationList();

    /// The values stored under a name; nullopt when its file is absent, too short or malformed.
    /// Fails (reported) when the file exists but cannot be read.
    Result<std::optional<SyncSettings>> LoadConfiguration(std::string_view name);

    /// Writes the configuration file of the current name (trimmed of spaces; none when that is
    /// empty) and rewrites the index from the list entries, in order and each once, followed by
    /// the current name when it is new. Other configuration files are not touched. Stops at the
    /// first failed write (reported), so the index is only rewritten when the file was saved.
    Status SaveConfigurations(const std::vector<std::string>& entries,
                              std::string_view current_name, const SyncSettings& values);

    /// The names of the files in the configurations folder whose stem is not the stem of a name
    /// in the index, in folder order: each file name with every ".txt" removed. Fails
    /// (reported) when the index or the folder cannot be read.
    Result<std::vector<std::string>> RestoreConfigurations();

  private:
    Result<std::string> ReadReported(const std::string& path);
    Status WriteReported(const std::string& path, const std::string& text);

    FileSystemPort& fs_;
    TextFilePort& files_;
    MessagePort& messages_;
    std::string folder_path_;
    std::string index_path_;
};

/// The critical message for a program file that could not be saved.
std::string FileNotSavedText(const std::string& path, const Failure& failure);
/// The critical message for a program file that could not be read.
std::string FileNotReadText(const std::string& path, const Failure& failure);

}  // namespace tidemark
