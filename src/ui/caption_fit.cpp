#include "ui/caption_fit.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "ui/main_window_layout.h"

namespace tidemark::ui {

namespace {

/// Pixels kept free between neighbours, and from the left and right edges of the window.
constexpr int kGap = 4;
constexpr int kEdgeMargin = 6;

/// The caption labels of the settings, whose right edges form the caption column.
constexpr std::string_view kCaptionColumn[] = {"Label1", "Label2", "Label3", "Label4"};

/// The controls that start at the right of the caption column and keep their designed place,
/// and those that stretch with the window (their right edge is anchored).
constexpr std::string_view kFieldColumn[] = {
    "cboStyle",        "lblDescription", "chkUseExcludeList", "chkIgnoreHidden",
    "chkIgnoreSystem", "chkLogIgnored",  "chkReverseSync",    "chkPreview"};
constexpr std::string_view kStretching[] = {"cboConfiguration", "txtSource", "txtDestination"};

/// Controls side by side, left to right; a grown one pushes those after it.
const std::vector<std::vector<std::string>>& Rows() {
    static const std::vector<std::vector<std::string>> rows = {
        {"Label4", "cboConfiguration", "cmdConfigSave", "cmdConfigDel", "cmdConfigRestore"},
        {"Label3", "cboStyle", "lblDescription"},
        {"Label2", "txtSource", "cmdFile(0)"},
        {"Label1", "txtDestination", "cmdFile(1)"},
        {"chkUseExcludeList", "lblExcludeList"},
        {"chkIgnoreHidden", "chkIgnoreSystem", "chkLogIgnored"},
        {"lblApprox", "lblTimeRemaining"},
    };
    return rows;
}

bool Contains(const auto& names, std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

/// Where a control's content ends: the text for labels and check boxes (whose boxes may be
/// designed wider than the window), the whole control otherwise.
int ContentRight(const std::string& name, const QRect& rect, const CaptionNeeds& needs) {
    const bool text_only = name.starts_with("lbl") || name.starts_with("chk");
    const auto need = needs.sizes.find(name);
    if (text_only && !needs.right_aligned.contains(name)) {
        return need == needs.sizes.end() ? rect.left() : rect.left() + need->second.width();
    }
    return rect.left() + rect.width();
}

}  // namespace

void FitCaptions(PixelPlacement& rects, const CaptionNeeds& needs) {
    // Window x = container x + the container's own (negative) left.
    const int container_left = rects.at("frmControls").left();

    int widen = 0;
    for (std::string_view caption : kCaptionColumn) {
        const std::string name(caption);
        const auto need = needs.sizes.find(name);
        if (need == needs.sizes.end()) {
            continue;
        }
        const QRect& rect = rects.at(name);
        const int room = rect.left() + rect.width() - (kEdgeMargin - container_left);
        widen = std::max(widen, need->second.width() - room);
    }
    if (widen > 0) {
        for (auto& [name, rect] : rects) {
            if (Contains(kFieldColumn, name) || Contains(kCaptionColumn, name)) {
                rect.translate(widen, 0);
            } else if (Contains(kStretching, name)) {
                rect.setLeft(rect.left() + widen);
            }
        }
    }

    for (const auto& [name, need] : needs.sizes) {
        QRect& rect = rects.at(name);
        if (need.width() > rect.width()) {
            if (needs.right_aligned.contains(name)) {
                rect.setLeft(rect.left() + rect.width() - need.width());
            } else {
                rect.setWidth(need.width());
            }
        }
        if (need.height() > rect.height()) {
            rect.moveTop(rect.top() - (need.height() - rect.height()) / 2);
            rect.setHeight(need.height());
        }
    }

    // The container grows downwards to hold its grown children.
    QRect& container = rects.at("frmControls");
    for (const auto& [name, rect] : rects) {
        if (InControls(name) && rect.bottom() + 1 > container.height()) {
            container.setHeight(rect.bottom() + 1);
        }
    }

    for (const std::vector<std::string>& row : Rows()) {
        for (std::size_t i = 1; i < row.size(); ++i) {
            const QRect& before = rects.at(row[i - 1]);
            QRect& after = rects.at(row[i]);
            const int shift = ContentRight(row[i - 1], before, needs) + kGap - after.left();
            if (shift <= 0) {
                continue;
            }
            if (Contains(kStretching, row[i])) {
                after.setLeft(after.left() + shift);
            } else {
                after.translate(shift, 0);
            }
        }
    }
}

int ClientOverflow(const PixelPlacement& rects, const CaptionNeeds& needs, int client_width) {
    const int container_left = rects.at("frmControls").left();
    int overflow = 0;
    for (const auto& [name, rect] : rects) {
        if (name == "frmControls") {
            continue;
        }
        const int offset = InControls(name) ? container_left : 0;
        const int right = ContentRight(name, rect, needs) + offset;
        overflow = std::max(overflow, right + kEdgeMargin - client_width);
    }
    return overflow;
}

}  // namespace tidemark::ui
