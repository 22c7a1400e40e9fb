#include "config/configuration_store.h"

#include <charconv>
#include <unordered_set>

#include "engine/path_syntax.h"

namespace tidemark {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kRemovedFromStems = " `~!@#$%^&*()+={[}]<>|\\:;\"',.?/";
constexpr std::string_view kConfigExtension = ".txt";

/// The lines of a text cut at every LF, each without the CR before its LF. An empty text has
/// no lines; a text ending with a line break has an empty last line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.empty()) {
        return lines;
    }
    while (true) {
        const std::size_t line_feed = text.find('\n');
        std::string_view line = text.substr(0, line_feed);
        if (line_feed == std::string_view::npos) {
            lines.push_back(line);
            return lines;
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(line_feed + 1);
    }
}

std::optional<int> WholeNumberIn(std::string_view text, int lowest, int highest) {
    text = TrimSpaces(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

std::string WithoutTrailingSeparator(std::string path) {
    if (path.size() > 1) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string FileStem(std::string_view name) {
    std::string stem;
    stem.reserve(name.size());
    for (const char c : name) {
        // Multi-byte UTF-8 sequences never contain ASCII bytes, so bytes can be tested alone.
        if (kRemovedFromStems.find(c) == std::string_view::npos) {
            stem.push_back(c);
        }
    }
    return stem;
}

std::string GetConfigText(const SyncSettings& values) {
    auto number = [](auto value) { return std::to_string(static_cast<int>(value)); };
    std::string text;
    for (const std::string& value :
         {number(values.style), values.source_path, values.destination_path,
          number(values.use_exclude_list), number(values.ignore_hidden),
          number(values.ignore_system), number(values.log_ignored), number(values.reverse_sync),
          number(values.preview_only)}) {
        text += value;
        text += kLineBreak;
    }
    return text;
}

std::optional<SyncSettings> ParseConfigText(std::string_view text) {
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() < 9) {
        return std::nullopt;
    }
    SyncSettings values;
    const std::optional<int> style = WholeNumberIn(lines[0], -1, 2);
    if (!style) {
        return std::nullopt;
    }
    values.style = static_cast<SyncStyle>(*style);
    values.source_path = lines[1];
    values.destination_path = lines[2];
    CheckState* const options[] = {&values.use_exclude_list, &values.ignore_hidden,
                                   &values.ignore_system,    &values.log_ignored,
                                   &values.reverse_sync,     &values.preview_only};
    for (std::size_t i = 0; i < std::size(options); ++i) {
        const std::optional<int> state = WholeNumberIn(lines[3 + i], 0, 2);
        if (!state) {
            return std::nullopt;
        }
        *options[i] = static_cast<CheckState>(*state);
    }
    return values;
}

std::vector<std::string> ParseIndexText(std::string_view text) {
    std::vector<std::string> names;
    for (const std::string_view line : SplitLines(text)) {
        const std::string_view name = TrimSpaces(line);
        if (!name.empty()) {
            names.emplace_back(name);
        }
    }
    return names;
}

ConfigurationStore::ConfigurationStore(FileSystemPort& fs, TextFilePort& files,
                                       MessagePort& messages, const std::string& program_folder)
    : fs_(fs),
      files_(files),
      messages_(messages),
      folder_path_(JoinPath(program_folder, "configurations", fs.Syntax()) + fs.Syntax().separator),
      index_path_(JoinPath(program_folder, "Config.txt", fs.Syntax())) {}

Status ConfigurationStore::EnsureConfigurationFolder() {
    const std::string folder = WithoutTrailingSeparator(folder_path_);
    if (fs_.FolderExists(folder)) {
        return Status::Ok();
    }
    return fs_.CreateFolder(folder);
}

std::string ConfigurationStore::GetConfigPath(std::string_view name) const {
    return folder_path_ + FileStem(name) + std::string(kConfigExtension);
}

Result<std::vector<std::string>> ConfigurationStore::LoadConfigurationList() {
    Result<std::string> text = ReadReported(index_path_);
    if (!text) {
        return text.failure();
    }
    return ParseIndexText(*text);
}

Result<std::optional<SyncSettings>> ConfigurationStore::LoadConfiguration(std::string_view name) {
    Result<std::string> text = ReadReported(GetConfigPath(name));
    if (!text) {
        return text.failure();
    }
    return ParseConfigText(*text);
}

Status ConfigurationStore::SaveConfigurations(const std::vector<std::string>& entries,
                                              std::string_view current_name,
                                              const SyncSettings& values) {
    // The index reader trims names, so an untrimmed name would only come back as a duplicate.
    const std::string name(TrimSpaces(current_name));
    if (!name.empty()) {
        if (Status saved = WriteReported(GetConfigPath(name), GetConfigText(values)); !saved) {
            return saved;
        }
    }
    std::string index;
    std::unordered_set<std::string_view> listed;
    auto add = [&](std::string_view entry) {
        if (!entry.empty() && listed.insert(entry).second) {
            index += kLineBreak;
            index += entry;
        }
    };
    for (const std::string& entry : entries) {
        add(entry);
    }
    add(name);
    return WriteReported(index_path_, index);
}

Result<std::vector<std::string>> ConfigurationStore::RestoreConfigurations() {
    Result<std::string> index = ReadReported(index_path_);
    if (!index) {
        return index.failure();
    }
    std::unordered_set<std::string> indexed_stems;
    for (const std::string_view line : SplitLines(*index)) {
        indexed_stems.insert(FileStem(line));
    }
    const std::string folder = WithoutTrailingSeparator(folder_path_);
    Result<FolderListing> listing = fs_.ListFolder(folder);
    if (!listing) {
        messages_.ShowMessage(
            "The folder " + folder + " could not be read:\r\n\r\n" + listing.failure().description,
            MessageButtons::kOk, MessageIcon::kCritical);
        return listing.failure();
    }
    std::vector<std::string> restored;
    for (const FileEntry& file : listing->files) {
        std::string candidate;
        std::string_view rest = file.name;
        for (std::size_t found; (found = rest.find(kConfigExtension)) != rest.npos;) {
            candidate += rest.substr(0, found);
            rest.remove_prefix(found + kConfigExtension.size());
        }
        candidate += rest;
        // An empty candidate (the file of a name made only of removed characters) would be an
        // invisible list entry.
        if (!candidate.empty() && !indexed_stems.contains(candidate)) {
            restored.push_back(std::move(candidate));
        }
    }
    return restored;
}

Result<std::string> ConfigurationStore::ReadReported(const std::string& path) {
    Result<std::string> text = files_.ReadTextFile(path);
    if (!text) {
        messages_.ShowMessage(FileNotReadText(path, text.failure()), MessageButtons::kOk,
                              MessageIcon::kCritical);
    }
    return text;
}

Status ConfigurationStore::WriteReported(const std::string& path, const std::string& text) {
    Status written = files_.WriteTextFile(path, text);
    if (!written) {
        messages_.ShowMessage(FileNotSavedText(path, written.failure()), MessageButtons::kOk,
                              MessageIcon::kCritical);
    }
    return written;
}

std::string FileNotSavedText(const std::string& path, const Failure& failure) {
    return "The file " + path + " could not be saved:\r\n\r\n" + failure.description;
}

std::string FileNotReadText(const std::string& path, const Failure& failure) {
    return "The file " + path + " could not be read:\r\n\r\n" + failure.description;
}

}  // namespace tidemark
