#include "ui/results_model.h"

namespace tidemark::ui {

bool ResultsModel::Publish() {
    if (published_ == lines_.size()) {
        return false;
    }
    beginInsertRows(QModelIndex(), static_cast<int>(published_),
                    static_cast<int>(lines_.size()) - 1);
    published_ = lines_.size();
    endInsertRows();
    return true;
}

void ResultsModel::Clear() {
    beginResetModel();
    lines_.Clear();
    published_ = 0;
    endResetModel();
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LineCount();
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= LineCount()) {
        return {};
    }
    auto text = [](std::string_view utf8) {
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    };
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return text(Text(index.row()));
    }
    if (role == kPathRole) {
        return text(Path(index.row()));
    }
    return {};
}

}  // namespace tidemark::ui
