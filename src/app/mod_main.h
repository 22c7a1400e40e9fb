#pragma once

#include <optional>
#include <string>

#include "app/application_state.h"
#include "app/reminders.h"
#include "app/settings_store.h"
#include "engine/failure.h"
#include "engine/file_system_port.h"

namespace tidemark {

/// The application state as start-up leaves it, and what went wrong on the way.
struct StartUpResult {
    ApplicationState state;
    /// Set when the exclude list file exists but could not be read; the list is then empty.
    std::optional<Failure> exclude_list_failure;
};

/// The start-up routine of the program, up to showing the main window: the help texts, the
/// donation address, the exclude list from beside the program, the last reminder date and the
/// usage counter from the settings store. A missing exclude list file gives an empty list and
/// is not created.
StartUpResult StartUp(const std::string& program_folder, TextFilePort& files,
                      SettingsStore& settings, LocalCalendar& calendar);

/// The message shown when the exclude list could not be read at start-up.
std::string ExcludeListUnreadableText(const std::string& path, const Failure& failure);

}  // namespace tidemark
