// "History…": the recorded deletes, moves and batches, newest first, each file with what became of it, and
// a way to put back a whole step or one file. What cannot be put back says why and offers nothing.
#pragma once

#include "history/UndoHistory.h"

#include <QDialog>
#include <functional>

class QPushButton;
class QTreeWidget;

class THistoryDialog : public QDialog {
    Q_OBJECT
public:
    // `restored` hears of every restore, done or refused, so the window can bring the files' pairs back and
    // say what happened. `history` must outlive the dialog.
    THistoryDialog(UndoHistory& history, std::function<void(const RestoreReport&)> restored,
                   QWidget* parent = nullptr);

private:
    void fill();
    void restoreChosen();
    void updateButton();

    UndoHistory& history_;
    std::function<void(const RestoreReport&)> restored_;
    QTreeWidget* tree_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
};
