#include "app/mod_main.h"

#include "app/program_folder.h"
#include "exclude/exclude_list_text.h"

namespace tidemark {

StartUpResult StartUp(const std::string& program_folder, TextFilePort& files,
                      SettingsStore& settings, LocalCalendar& calendar) {
    StartUpResult result;
    ApplicationState& state = result.state;
    state.help_texts = BuildHelpTexts();
    state.donation_address = kDonationAddress;
    state.exclude_list_path = ExcludeListPathIn(program_folder);

    Result<std::string> text = files.ReadTextFile(state.exclude_list_path);
    if (!text) {
        result.exclude_list_failure = text.failure();
    } else if (!text->empty()) {
        state.exclude_list = ParseExcludeList(*text);
    }

    state.last_reminder_date = ReadLastReminderDate(settings, calendar);
    state.usage_counter = ReadUsageCounter(settings);
    return result;
}

std::string ExcludeListUnreadableText(const std::string& path, const Failure& failure) {
    return "The exclude list " + path + " could not be read, so nothing will be excluded.  " +
           failure.description;
}

}  // namespace tidemark
