#pragma once

#include <string>

#include "app/help_texts.h"
#include "app/reminders.h"
#include "engine/path_syntax.h"

namespace tidemark {

/// The application title: the name in the settings store, the caption of every message box and
/// the first word of the main window's caption.
inline constexpr const char* kApplicationTitle = "Tidemark";

/// What the program holds from start-up to exit.
struct ApplicationState {
    HelpTexts help_texts;
    std::string donation_address;
    /// The exclude list file beside the program.
    std::string exclude_list_path;
    /// Replaced whenever the exclude list editor saves; the engine reads it during a run.
    ExcludeList exclude_list;
    /// When the donation reminder last fired; kZeroDate when never.
    LocalDateTime last_reminder_date = kZeroDate;
    /// Files processed over every run so far; stored at exit.
    double usage_counter = 0.0;
};

}  // namespace tidemark
