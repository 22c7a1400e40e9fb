#pragma once

#include <QAbstractListModel>
#include <string_view>

#include "engine/run_report.h"
#include "ui/line_store.h"

namespace tidemark::ui {

/// The lines of the results list with the path each one names. Lines are appended unseen and
/// shown in batches by Publish(), so that a run can write thousands of lines a second while
/// the list only redraws a few dozen times.
class ResultsModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    /// The role under which a line's path (empty when it names none) is found.
    static constexpr int kPathRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    /// Keeps the line; it shows at the next Publish().
    void Append(const ResultLine& line) { lines_.Append(line); }
    /// Shows every appended line; true when there were any.
    bool Publish();
    /// Removes every line, shown or not.
    void Clear();

    /// The shown lines.
    int LineCount() const { return static_cast<int>(published_); }
    std::string_view Text(int row) const { return lines_.Text(static_cast<std::size_t>(row)); }
    /// The path the line names; empty when it names none.
    std::string_view Path(int row) const { return lines_.Path(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    LineStore lines_;
    std::size_t published_ = 0;
};

}  // namespace tidemark::ui
