#include "ui/window_run_view.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <limits>
#include <thread>

#include "ui/results_list.h"
#include "ui/results_model.h"

namespace tidemark::ui {

namespace {

int ProgressNumber(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

WindowRunView::WindowRunView(RunWidgets widgets, MessagePort& messages, Clock& clock,
                             std::function<void()> refresh_style_description)
    : widgets_(widgets),
      messages_(messages),
      clock_(clock),
      refresh_style_description_(std::move(refresh_style_description)),
      last_refresh_(clock.Seconds()) {}

void WindowRunView::Flush() {
    if (widgets_.model->Publish()) {
        widgets_.list->SelectLastLine();
    }
    if (status_written_) {
        widgets_.output->setText(QString::fromStdString(status_));
        status_written_ = false;
    }
    if (progress_maximum_) {
        widgets_.progress->setMaximum(ProgressNumber(*progress_maximum_));
        progress_maximum_.reset();
    }
    if (progress_value_) {
        widgets_.progress->setValue(ProgressNumber(*progress_value_));
        progress_value_.reset();
    }
    if (time_remaining_written_) {
        widgets_.time_remaining->setText(QString::fromStdString(time_remaining_));
        time_remaining_written_ = false;
    }
    if (calculating_note_visible_) {
        widgets_.calculating_note->setVisible(*calculating_note_visible_);
        calculating_note_visible_.reset();
    }
}

bool WindowRunView::RefreshDue() {
    return clock_.Seconds() - last_refresh_ >= interval_;
}

void WindowRunView::RefreshDone(double start) {
    // Counted from the end of the refresh, so the run always gets the whole interval.
    last_refresh_ = clock_.Seconds();
    interval_ = std::clamp((last_refresh_ - start) * kRunShare, kRefreshInterval, kLongestInterval);
}

MessageAnswer WindowRunView::ShowMessage(const std::string& text, MessageButtons buttons,
                                         MessageIcon icon) {
    Flush();
    const MessageAnswer answer = messages_.ShowMessage(text, buttons, icon);
    last_refresh_ = clock_.Seconds();
    return answer;
}

void WindowRunView::AddLine(const ResultLine& line) {
    widgets_.model->Append(line);
    if (run_log_ != nullptr) {
        run_log_->AddLine(line.text);
    }
    SetStatus(line.text);
}

void WindowRunView::ClearResults() {
    widgets_.model->Clear();
}

void WindowRunView::SetStatus(const std::string& text) {
    status_ = text;
    status_written_ = true;
}

void WindowRunView::SetProgressMaximum(std::int64_t maximum) {
    progress_maximum_ = maximum;
}

void WindowRunView::SetProgressValue(std::int64_t value) {
    progress_value_ = value;
}

void WindowRunView::SetTimeRemaining(const std::string& caption) {
    time_remaining_ = caption;
    time_remaining_written_ = true;
}

void WindowRunView::SetCalculatingNoteVisible(bool visible) {
    calculating_note_visible_ = visible;
}

void WindowRunView::SetPauseCaption(const std::string& caption) {
    widgets_.pause->setText(QString::fromStdString(caption));
}

void WindowRunView::SetLocations(const std::string& source, const std::string& destination) {
    widgets_.source->setText(QString::fromStdString(source));
    widgets_.destination->setText(QString::fromStdString(destination));
}

void WindowRunView::RefreshStyleDescription() {
    refresh_style_description_();
}

void WindowRunView::BeginRun() {
    widgets_.time_remaining->show();
    widgets_.approx->show();
    widgets_.controls->setEnabled(false);
    last_refresh_ = clock_.Seconds();
    widgets_.stop->show();
    widgets_.pause->show();
    widgets_.synchronize->hide();
}

void WindowRunView::EndRun() {
    Flush();
    widgets_.controls->setEnabled(true);
    widgets_.time_remaining->hide();
    widgets_.calculating_note->hide();
    widgets_.approx->hide();
    widgets_.synchronize->show();
    widgets_.pause->hide();
    widgets_.stop->hide();
}

void WindowRunView::Repaint() {
    if (!RefreshDue()) {
        return;
    }
    const double start = clock_.Seconds();
    Flush();
    widgets_.window->repaint();
    RefreshDone(start);
}

void WindowRunView::ProcessEvents() {
    if (!RefreshDue()) {
        return;
    }
    const double start = clock_.Seconds();
    Flush();
    QCoreApplication::processEvents();
    RefreshDone(start);
}

void WindowRunView::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace tidemark::ui
