#include "ui/frm_synchronize.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <cmath>

#include "app/program_folder.h"
#include "app/reminders.h"
#include "app/window_geometry.h"
#include "config/configuration_store.h"
#include "ui/caption_fit.h"
#include "ui/folder_drop.h"
#include "ui/link_label.h"
#include "ui/results_list.h"
#include "ui/results_model.h"
#include "ui/twips.h"
#include "ui/window_run_view.h"

#ifndef TIDEMARK_VERSION_MAJOR
#define TIDEMARK_VERSION_MAJOR 0
#define TIDEMARK_VERSION_MINOR 0
#endif

namespace tidemark::ui {

namespace {

constexpr const char* kDescriptions[] = {
    "Only copy files if they do not currently exist in the destination directory",
    ("Copy all new and updated files (based on last modified date) to the destination "
     "directory"),
    "Copy new files and overwrite any existing files in the destination directory",
};

constexpr const char* kSaveBeforeRun =
    "The settings have changed for this configuration.\r\n\r\nWould you like to save them now?";
constexpr const char* kSaveBeforeExit =
    "The settings have changed for this configuration.\r\n\r\nWould you like to save them "
    "before you exit the application?";

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

QFont CaptionFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

/// The pixel rectangle of a place in twips; edges are rounded, so neighbours stay neighbours.
QRect ToPixels(const TwipsRect& rect) {
    const int left = Pixels(rect.left);
    const int top = Pixels(rect.top);
    return QRect(left, top, std::max(0, Pixels(rect.left + rect.width) - left),
                 std::max(0, Pixels(rect.top + rect.height) - top));
}

/// The room a control's caption needs in the control's own font; empty for controls without
/// a caption.
QSize CaptionNeed(QWidget& widget) {
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        // The style's own size hint adds a minimum width for dialog buttons; only the text and
        // the frame around it count here.
        QStyleOptionButton option;
        option.initFrom(button);
        const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        const int margin =
            button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button) +
            2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
        return text + QSize(margin, margin);
    }
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        return label->text().isEmpty() ? QSize() : label->sizeHint();
    }
    if (qobject_cast<QCheckBox*>(&widget) || qobject_cast<QComboBox*>(&widget)) {
        return widget.sizeHint();
    }
    if (qobject_cast<QLineEdit*>(&widget)) {
        return QSize(0, widget.sizeHint().height());
    }
    return {};
}

CheckState CheckValue(const QCheckBox& box) {
    switch (box.checkState()) {
        case Qt::Checked:
            return CheckState::kChecked;
        case Qt::PartiallyChecked:
            return CheckState::kGreyed;
        default:
            return CheckState::kUnchecked;
    }
}

/// Greyed is a value a configuration can hold, never one a click gives: the box takes a third
/// state only while it shows a greyed value.
void SetCheckValue(QCheckBox& box, CheckState value) {
    box.setTristate(value == CheckState::kGreyed);
    box.setCheckState(value == CheckState::kGreyed    ? Qt::PartiallyChecked
                      : value == CheckState::kChecked ? Qt::Checked
                                                      : Qt::Unchecked);
}

}  // namespace

FrmSynchronize::FrmSynchronize(MainWindowPorts ports, MainWindowHooks hooks)
    : ports_(std::move(ports)), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("frmSynchronize"));
    CreateControls();

    RunWidgets widgets;
    widgets.window = this;
    widgets.controls = frm_controls_;
    widgets.model = results_model_;
    widgets.list = lst_results_;
    widgets.output = lbl_output_;
    widgets.progress = progress_bar_;
    widgets.approx = lbl_approx_;
    widgets.time_remaining = lbl_time_remaining_;
    widgets.calculating_note = lbl_calculated_time_msg_;
    widgets.synchronize = cmd_synchronize_;
    widgets.pause = cmd_pause_;
    widgets.stop = cmd_stop_;
    widgets.source = txt_source_;
    widgets.destination = txt_destination_;
    run_view_ = std::make_unique<WindowRunView>(widgets, ports_.messages, ports_.clock,
                                                [this] { UpdateDescription(); });
    run_view_->SetRunLog(ports_.run_log);
    controller_ = std::make_unique<RunController>(ports_.fs, *run_view_, *run_view_, ports_.clock,
                                                  ports_.format, ports_.state.exclude_list,
                                                  ports_.concurrency);
    ConnectHandlers();
    SetTabOrder();

    UpdateMinimumSize();
    resize(Pixels(kDesignedClientWidth), Pixels(kDesignedClientHeight));
    LayoutMainWindow();
}

FrmSynchronize::~FrmSynchronize() = default;

void FrmSynchronize::CreateControls() {
    const QFont caption_font = CaptionFont();
    auto name = [this](QWidget* widget, const char* object_name) {
        widget->setObjectName(Text(object_name));
        controls_by_name_[object_name] = widget;
    };
    auto caption = [&](QWidget* parent, const char* object_name, const char* text) {
        auto* label = new QLabel(Text(text), parent);
        name(label, object_name);
        label->setFont(caption_font);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };
    auto link = [&](QWidget* parent, const char* object_name, const char* text) {
        auto* label = new LinkLabel(Text(text), parent);
        name(label, object_name);
        label->setFont(caption_font);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    };
    auto button = [&](QWidget* parent, const char* object_name, const char* text) {
        auto* push = new QPushButton(Text(text), parent);
        name(push, object_name);
        push->setAutoDefault(false);
        return push;
    };
    auto check = [&](const char* object_name, const char* text) {
        auto* box = new QCheckBox(Text(text), frm_controls_);
        name(box, object_name);
        return box;
    };

    frm_controls_ = new QWidget(this);
    name(frm_controls_, "frmControls");

    caption(frm_controls_, "Label4", "Configuration:");
    cbo_configuration_ = new QComboBox(frm_controls_);
    name(cbo_configuration_, "cboConfiguration");
    cbo_configuration_->setEditable(true);
    cbo_configuration_->setInsertPolicy(QComboBox::NoInsert);
    cmd_config_save_ = button(frm_controls_, "cmdConfigSave", "Save");
    cmd_config_del_ = button(frm_controls_, "cmdConfigDel", "Delete");
    cmd_config_restore_ = button(frm_controls_, "cmdConfigRestore", "Restore");

    caption(frm_controls_, "Label3", "Sync Style:");
    cbo_style_ = new QComboBox(frm_controls_);
    name(cbo_style_, "cboStyle");
    cbo_style_->addItems(
        {QStringLiteral("Safe Mode"), QStringLiteral("Normal"), QStringLiteral("Backup")});
    cbo_style_->setCurrentIndex(-1);
    lbl_description_ = new QLabel(frm_controls_);
    name(lbl_description_, "lblDescription");
    lbl_description_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    caption(frm_controls_, "Label2", "Source:");
    txt_source_ = new QLineEdit(frm_controls_);
    name(txt_source_, "txtSource");
    cmd_file_[0] = button(frm_controls_, "cmdFile(0)", "...");
    caption(frm_controls_, "Label1", "Destination:");
    txt_destination_ = new QLineEdit(frm_controls_);
    name(txt_destination_, "txtDestination");
    cmd_file_[1] = button(frm_controls_, "cmdFile(1)", "...");
    for (QPushButton* file_button : cmd_file_) {
        QFont bold = file_button->font();
        bold.setBold(true);
        file_button->setFont(bold);
    }

    chk_use_exclude_list_ = check("chkUseExcludeList",
                                  "Use the Exclude List to ignore specified files or folders "
                                  "that match the patterns listed");
    lbl_exclude_list_ = link(frm_controls_, "lblExcludeList", "Edit Exclude List");
    chk_ignore_hidden_ = check("chkIgnoreHidden", "Ignore Hidden Files");
    chk_ignore_hidden_->setChecked(true);
    chk_ignore_system_ = check("chkIgnoreSystem", "Ignore System Files");
    chk_ignore_system_->setChecked(true);
    chk_log_ignored_ =
        check("chkLogIgnored", "Show all Files/Folders Ignored during synchronization");
    chk_reverse_sync_ = check("chkReverseSync",
                              "Auto Reverse Synchronize - Automatically Synchronize the "
                              "destination folder with the source during processing");
    chk_preview_ = check("chkPreview",
                         "Preview Only Mode - Run through the synchronization process, but "
                         "don't actually copy, update or delete any files");

    cmd_synchronize_ = button(this, "cmdSynchronize", "Synchronize Now!");
    QFont synchronize_font = cmd_synchronize_->font();
    synchronize_font.setPointSizeF(9.75);
    synchronize_font.setBold(true);
    cmd_synchronize_->setFont(synchronize_font);
    cmd_pause_ = button(this, "cmdPause", "Pause");
    cmd_pause_->hide();
    cmd_stop_ = button(this, "cmdStop", "Stop");
    cmd_stop_->hide();

    lbl_approx_ = caption(this, "lblApprox", "Remaining:");
    lbl_approx_->hide();
    lbl_time_remaining_ = new QLabel(this);
    name(lbl_time_remaining_, "lblTimeRemaining");
    lbl_calculated_time_msg_ = new QLabel(QStringLiteral("* calculating time remaining"), this);
    name(lbl_calculated_time_msg_, "lblCalculatedTimeMsg");
    QFont italic = lbl_calculated_time_msg_->font();
    italic.setItalic(true);
    lbl_calculated_time_msg_->setFont(italic);
    lbl_calculated_time_msg_->hide();

    lbl_help_ = link(this, "lblHelp", "Help");
    lbl_about_ = link(this, "lblAbout", "About");
    lbl_donate_ = link(this, "lblDonate", "Please Donate");

    lbl_output_ = new QLabel(this);
    name(lbl_output_, "lblOutput");
    results_model_ = new ResultsModel(this);
    lst_results_ = new ResultsList(*results_model_, this);
    name(lst_results_, "lstResults");
    progress_bar_ = new QProgressBar(this);
    name(progress_bar_, "ProgressBar1");
    progress_bar_->setRange(0, 100);
    progress_bar_->setValue(0);
    progress_bar_->setTextVisible(false);
}

void FrmSynchronize::ConnectHandlers() {
    connect(cbo_style_, &QComboBox::currentIndexChanged, this, [this] {
        UpdateDescription();
        MarkSettingsChanged();
    });
    for (QCheckBox* box : {chk_ignore_hidden_, chk_ignore_system_, chk_log_ignored_, chk_preview_,
                           chk_reverse_sync_, chk_use_exclude_list_}) {
        connect(box, &QCheckBox::stateChanged, this, [this, box](int state) {
            if (state != Qt::PartiallyChecked) {
                box->setTristate(false);  // a click on a greyed box checks it, for good
            }
            MarkSettingsChanged();
        });
    }
    for (QLineEdit* box : {txt_source_, txt_destination_}) {
        connect(box, &QLineEdit::textChanged, this, [this] { MarkSettingsChanged(); });
        box->installEventFilter(this);
    }
    connect(cmd_file_[0], &QPushButton::clicked, this, [this] { BrowseClicked(0); });
    connect(cmd_file_[1], &QPushButton::clicked, this, [this] { BrowseClicked(1); });
    new FolderDrop(ports_.fs, *txt_source_, *cmd_file_[0], this);
    new FolderDrop(ports_.fs, *txt_destination_, *cmd_file_[1], this);

    connect(cbo_configuration_, &QComboBox::activated, this,
            [this] { Call(hooks_.configuration_selected); });
    connect(cbo_configuration_, &QComboBox::editTextChanged, this,
            [this] { Call(hooks_.configuration_edited); });
    connect(cmd_config_save_, &QPushButton::clicked, this, &FrmSynchronize::ConfigSaveClicked);
    connect(cmd_config_del_, &QPushButton::clicked, this, &FrmSynchronize::ConfigDeleteClicked);
    connect(cmd_config_restore_, &QPushButton::clicked, this,
            &FrmSynchronize::ConfigRestoreClicked);

    connect(cmd_synchronize_, &QPushButton::clicked, this, &FrmSynchronize::SynchronizeNowClicked);
    connect(cmd_pause_, &QPushButton::clicked, this, &FrmSynchronize::PauseClicked);
    connect(cmd_stop_, &QPushButton::clicked, this, &FrmSynchronize::StopClicked);

    connect(lbl_help_, &LinkLabel::clicked, this, [this] { Call(hooks_.show_help); });
    connect(lbl_about_, &LinkLabel::clicked, this, [this] { Call(hooks_.show_about); });
    connect(lbl_exclude_list_, &LinkLabel::clicked, this,
            [this] { Call(hooks_.show_exclude_list); });
    connect(lbl_donate_, &LinkLabel::clicked, this,
            [this] { ports_.shell.Open(ports_.state.donation_address); });
    connect(lst_results_, &ResultsList::LineActivated, this, &FrmSynchronize::LaunchFromLine);
    connect(lst_results_, &ResultsList::SaveAsRequested, this, &FrmSynchronize::SaveResultsAs);
}

void FrmSynchronize::SetTabOrder() {
    QWidget* order[] = {cbo_configuration_,    cmd_config_save_,   cmd_config_del_,
                        cmd_config_restore_,   cbo_style_,         txt_source_,
                        cmd_file_[0],          txt_destination_,   cmd_file_[1],
                        chk_use_exclude_list_, chk_ignore_hidden_, chk_ignore_system_,
                        chk_log_ignored_,      chk_reverse_sync_,  chk_preview_,
                        cmd_synchronize_,      cmd_pause_,         cmd_stop_,
                        lst_results_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    for (QWidget* label :
         {static_cast<QWidget*>(lbl_help_), static_cast<QWidget*>(lbl_about_),
          static_cast<QWidget*>(lbl_donate_), static_cast<QWidget*>(lbl_exclude_list_)}) {
        label->setFocusPolicy(Qt::NoFocus);
    }
    progress_bar_->setFocusPolicy(Qt::NoFocus);
}

void FrmSynchronize::Load() {
    RestoreWindowGeometry();
    setWindowTitle(QStringLiteral("%1 %2.%3")
                       .arg(Text(kApplicationTitle))
                       .arg(TIDEMARK_VERSION_MAJOR)
                       .arg(TIDEMARK_VERSION_MINOR));
    // Without the folder the configuration commands report their own failures.
    (void)EnsureConfigurationFolder(ports_.fs, ports_.program_folder);
    Call(hooks_.load_configuration_list);

    // The defaults go in first, so that a remembered configuration whose file is missing or
    // damaged leaves them rather than empty locations.
    ApplyBuiltInDefaults();
    const std::string remembered = ports_.settings.Read(settings_keys::kConfiguration);
    if (!remembered.empty()) {
        cbo_configuration_->setEditText(QString::fromStdString(remembered));
        Call(hooks_.configuration_selected);
    }
    for (LinkLabel* label : {lbl_help_, lbl_about_, lbl_donate_, lbl_exclude_list_}) {
        StyleAsLink(*label);
    }
    ResetRun();
    ClearSettingsChanged();
    UpdateMinimumSize();
    LayoutMainWindow();
    Call(hooks_.start_up_reminder);
}

void FrmSynchronize::ApplyBuiltInDefaults() {
    cbo_style_->setCurrentIndex(static_cast<int>(SyncStyle::kSafeMode));
    txt_source_->setText(QString::fromStdString(ports_.home_folder));
    txt_destination_->setText(QString::fromStdString(ports_.home_folder));
    chk_ignore_hidden_->setChecked(true);
    chk_ignore_system_->setChecked(true);
}

SyncSettings FrmSynchronize::CurrentSettings() const {
    SyncSettings settings;
    settings.style = static_cast<SyncStyle>(cbo_style_->currentIndex());
    settings.source_path = txt_source_->text().toStdString();
    settings.destination_path = txt_destination_->text().toStdString();
    settings.use_exclude_list = CheckValue(*chk_use_exclude_list_);
    settings.ignore_hidden = CheckValue(*chk_ignore_hidden_);
    settings.ignore_system = CheckValue(*chk_ignore_system_);
    settings.log_ignored = CheckValue(*chk_log_ignored_);
    settings.reverse_sync = CheckValue(*chk_reverse_sync_);
    settings.preview_only = CheckValue(*chk_preview_);
    return settings;
}

void FrmSynchronize::ApplySettings(const SyncSettings& settings) {
    const int style = static_cast<int>(settings.style);
    cbo_style_->setCurrentIndex(style >= 0 && style < cbo_style_->count() ? style : -1);
    txt_source_->setText(QString::fromStdString(settings.source_path));
    txt_destination_->setText(QString::fromStdString(settings.destination_path));
    SetCheckValue(*chk_use_exclude_list_, settings.use_exclude_list);
    SetCheckValue(*chk_ignore_hidden_, settings.ignore_hidden);
    SetCheckValue(*chk_ignore_system_, settings.ignore_system);
    SetCheckValue(*chk_log_ignored_, settings.log_ignored);
    SetCheckValue(*chk_reverse_sync_, settings.reverse_sync);
    SetCheckValue(*chk_preview_, settings.preview_only);
}

void FrmSynchronize::MarkSettingsChanged() {
    settings_changed_ = true;
    cmd_config_save_->setText(QStringLiteral("*Save"));
    QFont font = cmd_config_save_->font();
    font.setBold(true);
    cmd_config_save_->setFont(font);
}

void FrmSynchronize::ClearSettingsChanged() {
    settings_changed_ = false;
    cmd_config_save_->setText(QStringLiteral("Save"));
    QFont font = cmd_config_save_->font();
    font.setBold(false);
    cmd_config_save_->setFont(font);
}

void FrmSynchronize::ResetRun() {
    controller_->ResetRun();
    UpdateDescription();
    run_view_->Flush();
}

void FrmSynchronize::ClearResults() {
    run_view_->ClearResults();
}

WindowRunView& FrmSynchronize::View() {
    return *run_view_;
}

void FrmSynchronize::UpdateDescription() {
    const int index = cbo_style_->currentIndex();
    if (index >= 0 && index < static_cast<int>(std::size(kDescriptions))) {
        lbl_description_->setText(Text(kDescriptions[index]));
    }
}

void FrmSynchronize::SynchronizeNowClicked() {
    if (running_) {
        return;
    }
    if (settings_changed_) {
        const MessageAnswer answer = ports_.messages.ShowMessage(
            kSaveBeforeRun, MessageButtons::kYesNoCancel, MessageIcon::kQuestion);
        if (answer == MessageAnswer::kCancel) {
            return;
        }
        if (answer == MessageAnswer::kYes) {
            ConfigSaveClicked();
        }
        if (closing_) {
            return;  // the window was closed while the question was open
        }
    }
    running_ = true;
    if (ports_.run_log != nullptr) {
        ports_.run_log->BeginRun(cbo_configuration_->currentText().toStdString());
    }
    RunStages stages;
    stages.locations = [this](const std::string& source, const std::string& destination) {
        run_view_->SetLocations(source, destination);
    };
    stages.begins = [this] { run_view_->BeginRun(); };
    stages.ends = [this] { run_view_->EndRun(); };
    const std::int32_t processed = controller_->SynchronizeNow(CurrentSettings(), stages);
    ports_.state.usage_counter = UsageCounterAfterRun(ports_.state.usage_counter, processed);
    if (ports_.run_log != nullptr) {
        // Once, in the status line rather than a box: the run itself was not held up.
        if (const std::optional<std::string> report = ports_.run_log->EndRun()) {
            run_view_->SetStatus(*report);
            run_view_->Flush();
        }
    }
    running_ = false;
    if (close_requested_) {
        close();
    }
}

void FrmSynchronize::PauseClicked() {
    controller_->PauseClicked();
}

void FrmSynchronize::StopClicked() {
    controller_->StopClicked();
}

void FrmSynchronize::BrowseClicked(int element) {
    QLineEdit* box = element == 0 ? txt_source_ : txt_destination_;
    const std::string current = box->text().toStdString();
    const std::string start = ports_.fs.FolderExists(current) ? current : ports_.home_folder;
    const std::string picked = ports_.picker.BrowseForFolder(start, {});
    if (!picked.empty()) {
        box->setText(QString::fromStdString(picked));
    }
}

void FrmSynchronize::LaunchFromLine(int row) {
    if (row < 0 || row >= results_model_->LineCount()) {
        return;
    }
    const std::string path(results_model_->Path(row));
    if (path.empty()) {
        return;
    }
    if (ports_.messages.ShowMessage("Would you like to launch " + path + "?",
                                    MessageButtons::kYesNo,
                                    MessageIcon::kQuestion) == MessageAnswer::kYes) {
        ports_.shell.Open(path);
    }
}

void FrmSynchronize::SaveResultsAs() {
    if (ports_.files == nullptr) {
        return;
    }
    const std::string suggested = ports_.home_folder + "/Tidemark results.txt";
    const std::string path = hooks_.choose_results_file
                                 ? hooks_.choose_results_file(suggested)
                                 : QFileDialog::getSaveFileName(this, QStringLiteral("Save As"),
                                                                QString::fromStdString(suggested))
                                       .toStdString();
    if (path.empty()) {
        return;
    }
    std::string text;
    for (int row = 0; row < results_model_->LineCount(); ++row) {
        text += results_model_->Text(row);
        text += '\n';
    }
    if (Status written = ports_.files->WriteTextFile(path, text); !written) {
        ports_.messages.ShowMessage(FileNotSavedText(path, written.failure()), MessageButtons::kOk,
                                    MessageIcon::kCritical);
    }
}

void FrmSynchronize::ConfigSaveClicked() {
    Call(hooks_.save_configuration);
}

void FrmSynchronize::ConfigDeleteClicked() {
    Call(hooks_.delete_configuration);
}

void FrmSynchronize::ConfigRestoreClicked() {
    Call(hooks_.restore_configurations);
}

void FrmSynchronize::RestoreWindowGeometry() {
    const StoredGeometry stored = ReadWindowGeometry(ports_.settings);
    if (stored.width) {
        resize(Pixels(*stored.width - kFrameWidth), height());
    }
    if (stored.height) {
        resize(width(), Pixels(*stored.height - kFrameHeight));
    }
    if (stored.top) {
        move(x(), Pixels(*stored.top));
    }
    if (stored.left) {
        move(Pixels(*stored.left), y());
    }
}

void FrmSynchronize::SaveWindowGeometry() {
    WriteWindowGeometry(ports_.settings, static_cast<float>(width() * kTwipsPerPixel + kFrameWidth),
                        static_cast<float>(height() * kTwipsPerPixel + kFrameHeight),
                        static_cast<float>(y() * kTwipsPerPixel),
                        static_cast<float>(x() * kTwipsPerPixel));
}

void FrmSynchronize::StorePersistentValues() {
    SaveWindowGeometry();
    ports_.settings.Write(settings_keys::kConfiguration,
                          cbo_configuration_->currentText().toStdString());
    StoreUsageCounter(ports_.settings, ports_.state.usage_counter);
}

CaptionNeeds FrmSynchronize::MeasureCaptions() const {
    CaptionNeeds needs;
    for (const auto& [control, widget] : controls_by_name_) {
        const QSize need = CaptionNeed(*widget);
        if (need.isValid() && !need.isEmpty()) {
            needs.sizes[control] = need;
        }
        const auto* label = qobject_cast<const QLabel*>(widget);
        if (label != nullptr && (label->alignment() & Qt::AlignRight)) {
            needs.right_aligned.insert(control);
        }
    }
    // Run texts come and go; only the captions the window is designed with count.
    needs.sizes.erase("lblOutput");
    needs.sizes.erase("lblTimeRemaining");
    QSize description;
    for (const char* text : kDescriptions) {
        description = description.expandedTo(lbl_description_->fontMetrics().size(0, Text(text)));
    }
    needs.sizes["lblDescription"] = description;
    return needs;
}

PixelPlacement FrmSynchronize::PlaceControls(int client_width, int client_height,
                                             const CaptionNeeds& needs, Placement& places) const {
    places = DesignedPlacement();
    AnchorControls(places, std::max(kMinimumWidth, client_width * kTwipsPerPixel + kFrameWidth),
                   std::max(kMinimumHeight, client_height * kTwipsPerPixel + kFrameHeight));
    PixelPlacement rects;
    for (const auto& [control, place] : places) {
        rects[control] = ToPixels(place);
    }
    FitCaptions(rects, needs);
    // The rules let the list run 60 twips under the progress bar; it ends above it instead.
    QRect& list = rects.at("lstResults");
    const int progress_top = rects.at("ProgressBar1").top();
    if (list.bottom() >= progress_top - 2) {
        list.setBottom(std::max(list.top(), progress_top - 3));
    }
    return rects;
}

void FrmSynchronize::UpdateMinimumSize() {
    const CaptionNeeds needs = MeasureCaptions();
    const int minimum_height = Pixels(kMinimumHeight - kFrameHeight);
    int minimum_width = Pixels(kMinimumWidth - kFrameWidth);
    Placement places;
    // Widening moves the anchored controls along, so a second look settles it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int overflow = ClientOverflow(
            PlaceControls(minimum_width, minimum_height, needs, places), needs, minimum_width);
        if (overflow <= 0) {
            break;
        }
        minimum_width += overflow;
    }
    setMinimumSize(minimum_width, minimum_height);
}

void FrmSynchronize::LayoutMainWindow() {
    const PixelPlacement rects = PlaceControls(width(), height(), MeasureCaptions(), placement_);
    for (const auto& [control, rect] : rects) {
        controls_by_name_.at(control)->setGeometry(rect);
    }
}

void FrmSynchronize::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutMainWindow();
}

void FrmSynchronize::closeEvent(QCloseEvent* event) {
    if (running_) {
        // A close is never refused, but the run ends first: the request stops it at its next
        // poll point, as Stop does (the file in hand is finished), and the close sequence runs
        // once the run has returned, with the save question and everything it keeps.
        event->ignore();
        if (!close_requested_) {
            close_requested_ = true;
            if (!controller_->State().stop_requested) {
                controller_->StopClicked();
            }
        }
        return;
    }
    event->accept();
    if (closing_) {
        return;
    }
    closing_ = true;
    StorePersistentValues();
    if (settings_changed_ &&
        ports_.messages.ShowMessage(kSaveBeforeExit, MessageButtons::kYesNo,
                                    MessageIcon::kQuestion) == MessageAnswer::kYes) {
        ConfigSaveClicked();
    }
    hide();
    Call(hooks_.exit_reminder);
    Call(hooks_.farewell);
    if (hooks_.end_program) {
        hooks_.end_program();
    } else {
        QCoreApplication::quit();
    }
}

bool FrmSynchronize::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr && event->type() == QEvent::FocusIn) {
        // After the click that brought the focus, which would place the cursor instead.
        QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
    } else if (box != nullptr && event->type() == QEvent::FocusOut) {
        const std::string text = box->text().toStdString();
        const std::string_view trimmed = TrimSpaces(text);
        if (trimmed.size() != text.size()) {
            box->setText(QString::fromStdString(std::string(trimmed)));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmSynchronize::Call(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

}  // namespace tidemark::ui
