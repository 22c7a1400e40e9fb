#include "ui/results_list.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <algorithm>

namespace tidemark::ui {

ResultsList::ResultsList(ResultsModel& model, QWidget* parent) : QListView(parent), model_(model) {
    setModel(&model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    copy_ = new QAction(QStringLiteral("Copy"), this);
    copy_->setShortcut(QKeySequence::Copy);
    copy_->setShortcutContext(Qt::WidgetShortcut);
    connect(copy_, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(SelectedText()); });
    addAction(copy_);

    copy_all_ = new QAction(QStringLiteral("Copy All"), this);
    connect(copy_all_, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(AllText()); });
    addAction(copy_all_);

    auto* save_as = new QAction(QStringLiteral("Save As..."), this);
    save_as->setObjectName(QStringLiteral("actSaveAs"));
    connect(save_as, &QAction::triggered, this, [this] { Q_EMIT SaveAsRequested(); });
    addAction(save_as);

    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { Q_EMIT LineActivated(index.row()); });
}

void ResultsList::SelectLastLine() {
    const int count = model_.LineCount();
    if (count == 0) {
        return;
    }
    const QModelIndex last = model_.index(count - 1);
    selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect);
    scrollTo(last);
}

void ResultsList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy_->trigger();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

QString ResultsList::SelectedText() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& row : rows) {
        lines.push_back(row.data().toString());
    }
    return lines.join(QLatin1Char('\n'));
}

QString ResultsList::AllText() const {
    QStringList lines;
    for (int row = 0; row < model_.LineCount(); ++row) {
        const std::string_view text = model_.Text(row);
        lines.push_back(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace tidemark::ui
