#pragma once

#include <QListView>

#include "ui/results_model.h"

class QAction;

namespace tidemark::ui {

/// The results list: a view of the model in which lines can be selected and copied with
/// Ctrl+C or the context menu's "Copy" and "Copy All", and saved with its "Save As...".
class ResultsList final : public QListView {
    Q_OBJECT

  public:
    explicit ResultsList(ResultsModel& model, QWidget* parent = nullptr);

    /// Selects the last line alone and scrolls it into view.
    void SelectLastLine();
    /// The selected lines in list order, one per line.
    QString SelectedText() const;
    /// Every line, one per line.
    QString AllText() const;

  Q_SIGNALS:
    /// A line was double-clicked.
    void LineActivated(int row);
    /// "Save As..." was chosen.
    void SaveAsRequested();

  protected:
    /// Ctrl+C copies the selected lines; the view's own copy would take the current one only.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ResultsModel& model_;
    QAction* copy_;
    QAction* copy_all_;
};

}  // namespace tidemark::ui
