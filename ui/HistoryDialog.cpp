#include "ui/HistoryDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Which step or action a row stands for: a step row holds the step, an action row the action's id.
constexpr int kStepRole = Qt::UserRole;
constexpr int kActionRole = Qt::UserRole + 1;
constexpr int kRestorableRole = Qt::UserRole + 2;

QString ActionText(JournalAction action) {
    switch (action) {
    case JournalAction::Trash: return QStringLiteral("to the trash");
    case JournalAction::Delete: return QStringLiteral("deleted");
    case JournalAction::Move: return QStringLiteral("moved");
    }
    return {};
}

}  // namespace

THistoryDialog::THistoryDialog(UndoHistory& history, std::function<void(const RestoreReport&)> restored,
                               QWidget* parent)
    : QDialog(parent), history_(history), restored_(std::move(restored)) {
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("History"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Deletes and moves, newest first. Restore puts a whole step or one "
                                                "file back where it was, never over another file."),
                                 this));
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("HistoryTree"));
    tree_->setColumnCount(3);
    tree_->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Action"), QStringLiteral("State")});
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree_->setMinimumSize(720, 360);
    layout->addWidget(tree_);

    auto* buttons = new QHBoxLayout;
    restoreButton_ = new QPushButton(QStringLiteral("Restore"), this);
    restoreButton_->setObjectName(QStringLiteral("RestoreButton"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addWidget(restoreButton_);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(restoreButton_, &QPushButton::clicked, this, &THistoryDialog::restoreChosen);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &THistoryDialog::updateButton);
    fill();
}

void THistoryDialog::fill() {
    tree_->clear();
    for (const HistoryStep& step : history_.Steps()) {
        const QString when = QDateTime::fromMSecsSinceEpoch(step.TimeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const int restorable = step.Count(RestoreState::Restorable);
        auto* top = new QTreeWidgetItem(tree_, {when + (step.Items.size() == 1 ? QStringLiteral("  (1 file)") : QStringLiteral("  (%1 files)").arg(step.Items.size())), {},
                                               restorable > 0 ? QStringLiteral("%1 can be restored").arg(restorable)
                                                              : QString()});
        top->setData(0, kStepRole, QVariant::fromValue<qint64>(step.Step));
        top->setData(0, kRestorableRole, restorable > 0);
        for (const HistoryItem& item : step.Items) {
            auto* row = new QTreeWidgetItem(top, {item.Record.Source, ActionText(item.Record.Action),
                                                  RestoreStateText(item.State)});
            row->setToolTip(0, item.Location.isEmpty() ? item.Record.Source
                                                       : item.Record.Source + QStringLiteral("\n→ ") + item.Location);
            row->setData(0, kActionRole, QVariant::fromValue<qint64>(item.Record.Id));
            row->setData(0, kRestorableRole, item.State == RestoreState::Restorable);
        }
    }
    tree_->expandToDepth(0);
    updateButton();
}

void THistoryDialog::updateButton() {
    const QTreeWidgetItem* item = tree_->currentItem();
    restoreButton_->setEnabled(item && item->data(0, kRestorableRole).toBool());
}

void THistoryDialog::restoreChosen() {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (!item || !item->data(0, kRestorableRole).toBool())
        return;
    const RestoreReport report = item->parent() ? history_.RestoreAction(item->data(0, kActionRole).toLongLong())
                                                : history_.RestoreStep(item->data(0, kStepRole).toLongLong());
    if (restored_)
        restored_(report);
    fill();
}
