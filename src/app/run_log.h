#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/reminders.h"
#include "engine/failure.h"

namespace tidemark {

/// The files of the run log.
class LogFilesPort {
  public:
    virtual ~LogFilesPort() = default;

    /// Adds text at the end of the file, creating the file, and its folder when that is
    /// missing. Fails when the text could not be written whole.
    virtual Status AppendToFile(const std::string& path, std::string_view text) = 0;

    /// The names of the items directly in the folder; none when it is missing or unreadable.
    virtual std::vector<std::string> FileNames(const std::string& folder) = 0;

    /// Removes the file.
    virtual Status RemoveFile(const std::string& path) = 0;
};

/// Day files are removed once they are more than this many calendar days old.
inline constexpr int kLogKeptDays = 30;

/// The log of every run: each run appends its results lines, after a line with the time and
/// the configuration's name, to the file of the day it started, "YYYY-MM-DD.log" in the log
/// folder. Lines end with a line feed. A failure to write never reaches the run: the first one
/// is answered by EndRun and the rest of the run is not written.
class RunLog {
  public:
    /// `folder` is created at the first write.
    RunLog(LogFilesPort& files, LocalCalendar& calendar, std::string folder);

    /// Removes the day files more than kLogKeptDays old. Other files are left alone, and so
    /// is a file that cannot be removed.
    void RemoveOldFiles();

    /// A run starts; `configuration` is the name of its configuration, empty for none. Nothing
    /// is written for a run that writes no line.
    void BeginRun(const std::string& configuration);
    /// One results line of the run; between BeginRun and EndRun only.
    void AddLine(std::string_view text);
    /// Writes out what the run has written so far; for a program about to end.
    void Flush();
    /// The run has ended: writes out the rest. Answers the text that reports the run's first
    /// write failure; nullopt when everything was written.
    std::optional<std::string> EndRun();

    const std::string& Folder() const { return folder_; }

  private:
    LogFilesPort& files_;
    LocalCalendar& calendar_;
    std::string folder_;
    std::string path_;
    std::string heading_;
    std::string held_;
    std::optional<Failure> failure_;
};

}  // namespace tidemark
