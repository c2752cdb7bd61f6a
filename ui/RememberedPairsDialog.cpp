#include "ui/RememberedPairsDialog.h"

#include "history/RememberedPairs.h"
#include "ui/PlatformServices.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TRememberedPairsDialog::TRememberedPairsDialog(RememberedPairs& pairs, PlatformServices& services, QWidget* parent)
    : QDialog(parent), pairs_(pairs), services_(services) {
    setObjectName(QStringLiteral("RememberedPairsDialog"));
    setWindowTitle(QStringLiteral("Not duplicates"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Searches pass these pairs over, wherever their files are now.\n"
                                                "A pair forgotten here is found again by the next search."),
                                 this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("RememberedPairsList"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMinimumWidth(560);
    layout->addWidget(list_);

    auto* buttons = new QHBoxLayout;
    forgetButton_ = new QPushButton(QStringLiteral("Forget"), this);
    forgetButton_->setObjectName(QStringLiteral("ForgetButton"));
    forgetAllButton_ = new QPushButton(QStringLiteral("Forget all"), this);
    forgetAllButton_->setObjectName(QStringLiteral("ForgetAllButton"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addWidget(forgetButton_);
    buttons->addWidget(forgetAllButton_);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(forgetButton_, &QPushButton::clicked, this, &TRememberedPairsDialog::forgetSelected);
    connect(forgetAllButton_, &QPushButton::clicked, this, &TRememberedPairsDialog::forgetAll);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { forgetButton_->setEnabled(!list_->selectedItems().isEmpty()); });
    fill();
}

void TRememberedPairsDialog::fill() {
    list_->clear();
    for (const RememberedPair& p : pairs_.Pairs()) {
        auto* item = new QListWidgetItem(p.FirstPath + QStringLiteral("  ≠  ") + p.SecondPath, list_);
        item->setToolTip(p.FirstPath + QLatin1Char('\n') + p.SecondPath);
    }
    forgetButton_->setEnabled(false);
    forgetAllButton_->setEnabled(list_->count() > 0);
}

void TRememberedPairsDialog::forgetSelected() {
    const std::vector<RememberedPair> all = pairs_.Pairs();
    // Rows and pairs are in the same order; collect first, since forgetting changes the order.
    std::vector<RememberedPair> chosen;
    for (const QListWidgetItem* item : list_->selectedItems()) {
        const int row = list_->row(item);
        if (row >= 0 && static_cast<size_t>(row) < all.size())
            chosen.push_back(all[static_cast<size_t>(row)]);
    }
    for (const RememberedPair& p : chosen)
        pairs_.Forget(p.First, p.Second);
    save();
}

void TRememberedPairsDialog::forgetAll() {
    if (services_.ShowMessage(this, MessageKind::Confirmation,
                              QStringLiteral("Forget all %1 pairs? The next search finds them again.").arg(pairs_.Count()),
                              MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    pairs_.Clear();
    save();
}

void TRememberedPairsDialog::save() {
    if (!pairs_.Save()) {
        services_.ShowMessage(this, MessageKind::Error, QStringLiteral("Unable to write to ") + pairs_.File(),
                              MessageButtons::Ok);
        pairs_ = RememberedPairs(pairs_.File());
    }
    fill();
}
