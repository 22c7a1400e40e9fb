// Feeds arbitrary bytes to every reader of the program's own files: the configuration file, the
// index and the exclude list, directly and through the configuration store, and checks the
// properties the rest of the program relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "config/configuration_store.h"
#include "exclude/exclude_list_text.h"
#include "tests/support/in_memory_file_system.h"

namespace {

using namespace tidemark;

class SilentMessages final : public MessagePort {
  public:
    MessageAnswer ShowMessage(const std::string&, MessageButtons, MessageIcon) override {
        return MessageAnswer::kOk;
    }
};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void ConfigurationReader(std::string_view text) {
    const std::optional<SyncSettings> values = ParseConfigText(text);
    if (!values)
        return;
    const int style = static_cast<int>(values->style);
    Check(style >= -1 && style <= 2);
    // What was read is written back and reads back the same.
    const std::string written = GetConfigText(*values);
    const std::optional<SyncSettings> again = ParseConfigText(written);
    Check(again.has_value() && GetConfigText(*again) == written);
}

void IndexReader(std::string_view text) {
    for (const std::string& name : ParseIndexText(text)) {
        Check(!name.empty() && name.front() != ' ' && name.back() != ' ');
        Check(name.find('\n') == std::string::npos);
        const std::string stem = FileStem(name);
        Check(stem.find_first_of(" `~!@#$%^&*()+={[}]<>|\\:;\"',.?/") == std::string::npos);
        Check(FileStem(stem) == stem);
    }
}

void ExcludeReaders(std::string_view text) {
    const ExcludeList entries = ParseExcludeList(text);
    Check(!entries.empty());
    // The unit tests compare the cleaning with the replacements it stands for on every short
    // text; here it must only end and never grow the text.
    Check(CleanExcludeText(text).size() <= text.size());
    (void)WithCrLfLineBreaks(text);
}

void ThroughTheStore(std::string_view text) {
    testing::InMemoryFileSystem fs;
    SilentMessages messages;
    fs.AddFolder("/p/configurations");
    fs.AddFile("/p/Config.txt", std::string(text));
    fs.AddFile("/p/configurations/Fuzz.txt", std::string(text));
    fs.AddFile("/p/configurations/Other.txt.txt", "");
    ConfigurationStore store(fs, fs, messages, "/p");

    const std::vector<std::string> names = store.LoadConfigurationList().value();
    (void)store.LoadConfiguration("Fuzz").value();
    const std::vector<std::string> restored = store.RestoreConfigurations().value();
    for (const std::string& name : restored)
        Check(!name.empty());

    // Saving the list read from the index and reading it back gives each name once, in order.
    const std::string current = names.empty() ? std::string("Fuzz") : names.back();
    Check(store.SaveConfigurations(names, current, SyncSettings{}).ok());
    const std::vector<std::string> saved = store.LoadConfigurationList().value();
    Check(std::set<std::string>(saved.begin(), saved.end()).size() == saved.size());
    Check(store.LoadConfiguration(current).value().has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ConfigurationReader(text);
    IndexReader(text);
    ExcludeReaders(text);
    ThroughTheStore(text);
    return 0;
}
