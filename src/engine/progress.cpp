#include "engine/progress.h"

#include <algorithm>
#include <cmath>

namespace tidemark {

double EstimateSecondsLeft(double elapsed, std::int32_t processed, std::int32_t total) {
    const double per_file = elapsed / processed;
    const std::int64_t left = static_cast<std::int64_t>(total) - processed;
    return std::floor(per_file * static_cast<double>(left) * 100.0) / 100.0;
}

std::string TimeRemainingCaption(double estimate, TextFormat& format) {
    if (estimate > 7200.0) {
        return format.OneDecimal(estimate / 3600.0) + " hours";
    }
    if (estimate > 120.0) {
        return format.OneDecimal(estimate / 60.0) + " minutes";
    }
    return format.OneDecimal(estimate) + " seconds";
}

void RunProgress::SetMaximum(std::int64_t maximum) {
    maximum_ = maximum;
    shown_estimate_.reset();  // a new pass, or a caption written by someone else
    report_.SetProgressMaximum(maximum);
}

void RunProgress::SetValue(std::int64_t value) {
    // More files than were counted (the source grew during the pass): raise the maximum
    // rather than show a value the bar cannot hold.
    if (value > maximum_) {
        SetMaximum(value);
    }
    value_ = value;
    report_.SetProgressValue(value);
}

void RunProgress::StepActivity() {
    // The sign is no count: it must not raise the maximum that files set.
    const std::int64_t top = std::min<std::int64_t>(99, std::max<std::int64_t>(maximum_, 1));
    SetValue(value_ >= top ? 1 : value_ + 1);
}

void RunProgress::UpdateProgress(double& previous_estimate) {
    SetValue(stats_.processed_files);
    const double elapsed = clock_.Seconds() - state_.start_time;
    const double estimate =
        EstimateSecondsLeft(elapsed, stats_.processed_files, stats_.total_files);
    const bool settled = static_cast<double>(stats_.processed_files) / stats_.total_files >= 0.1 &&
                         estimate <= previous_estimate;
    previous_estimate = estimate;
    if (shown_estimate_ == std::pair(estimate, settled)) {
        return;  // the same caption as before
    }
    shown_estimate_ = std::pair(estimate, settled);
    std::string caption = TimeRemainingCaption(estimate, format_);
    if (!settled) {
        caption += " *";
    }
    report_.SetTimeRemaining(caption);
    report_.SetCalculatingNoteVisible(!settled);
}

bool RunProgress::PollPauseStop() {
    while (state_.paused) {
        host_.ProcessEvents();
        if (state_.stop_requested) {
            return true;
        }
        host_.Sleep(std::chrono::milliseconds(100));
    }
    return state_.stop_requested;
}

}  // namespace tidemark
