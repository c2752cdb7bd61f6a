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
    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("RememberedPairsList"));
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setMinimumWidth(560);
    layout->addWidget(List);

    auto* buttons = new QHBoxLayout;
    ForgetButton = new QPushButton(QStringLiteral("Forget"), this);
    ForgetButton->setObjectName(QStringLiteral("ForgetButton"));
    ForgetAllButton = new QPushButton(QStringLiteral("Forget all"), this);
    ForgetAllButton->setObjectName(QStringLiteral("ForgetAllButton"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addWidget(ForgetButton);
    buttons->addWidget(ForgetAllButton);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(ForgetButton, &QPushButton::clicked, this, &TRememberedPairsDialog::forgetSelected);
    connect(ForgetAllButton, &QPushButton::clicked, this, &TRememberedPairsDialog::forgetAll);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(List, &QListWidget::itemSelectionChanged, this,
            [this] { ForgetButton->setEnabled(!List->selectedItems().isEmpty()); });
    fill();
}

void TRememberedPairsDialog::fill() {
    List->clear();
    for (const RememberedPair& p : pairs_.Pairs()) {
        auto* item = new QListWidgetItem(p.FirstPath + QStringLiteral("  ≠  ") + p.SecondPath, List);
        item->setToolTip(p.FirstPath + QLatin1Char('\n') + p.SecondPath);
    }
    ForgetButton->setEnabled(false);
    ForgetAllButton->setEnabled(List->count() > 0);
}

void TRememberedPairsDialog::forgetSelected() {
    const std::vector<RememberedPair> all = pairs_.Pairs();
    // Rows and pairs are in the same order; collect first, since forgetting changes the order.
    std::vector<RememberedPair> chosen;
    for (const QListWidgetItem* item : List->selectedItems()) {
        const int row = List->row(item);
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
