// The keep-rules dialog: a checkable, reorderable list of rules and a live preview.
#include "ui/KeepRulesDialog.h"

#include "engine/Formatting.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kKindRole = Qt::UserRole;

}  // namespace

TKeepRulesDialog::TKeepRulesDialog(std::function<KeepPlan(const std::vector<KeepRule>&)> preview,
                                   const QStringList& folders, const QStringList& types, const QLocale& locale,
                                   QWidget* parent)
    : QDialog(parent), preview_(std::move(preview)), locale_(locale) {
    setWindowTitle(QStringLiteral("Mark duplicates"));
    setObjectName(QStringLiteral("KeepRulesDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("In each group one file is kept: the first rule from the top that tells the files\n"
                       "apart chooses it. The others are marked. Files of reference folders are always kept."),
        this));

    auto* row = new QHBoxLayout;
    rules_ = new QListWidget(this);
    rules_->setObjectName(QStringLiteral("KeepRulesList"));
    for (const KeepRuleKind kind : AllKeepRuleKinds()) {
        auto* item = new QListWidgetItem(KeepRuleText(kind), rules_);
        item->setData(kKindRole, static_cast<int>(kind));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const bool onByDefault = kind == KeepRuleKind::MostPixels || kind == KeepRuleKind::LargestFile ||
                                 kind == KeepRuleKind::OldestModification;
        item->setCheckState(onByDefault ? Qt::Checked : Qt::Unchecked);
    }
    rules_->setCurrentRow(0);
    row->addWidget(rules_, 1);
    auto* buttons = new QVBoxLayout;
    auto* up = new QPushButton(QStringLiteral("Move up"), this);
    auto* down = new QPushButton(QStringLiteral("Move down"), this);
    buttons->addWidget(up);
    buttons->addWidget(down);
    buttons->addStretch();
    row->addLayout(buttons);
    layout->addLayout(row);

    auto* form = new QFormLayout;
    folder_ = new QComboBox(this);
    folder_->setEditable(true);
    folder_->addItems(folders);
    type_ = new QComboBox(this);
    type_->addItems(types);
    form->addRow(QStringLiteral("Preferred folder:"), folder_);
    form->addRow(QStringLiteral("Preferred type:"), type_);
    layout->addLayout(form);

    previewLabel_ = new QLabel(this);
    previewLabel_->setObjectName(QStringLiteral("KeepRulesPreview"));
    layout->addWidget(previewLabel_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Mark"));
    layout->addWidget(box);

    connect(up, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(rules_, &QListWidget::itemChanged, this, &TKeepRulesDialog::updatePreview);
    connect(folder_, &QComboBox::currentTextChanged, this, &TKeepRulesDialog::updatePreview);
    connect(type_, &QComboBox::currentTextChanged, this, &TKeepRulesDialog::updatePreview);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updatePreview();
}

std::vector<KeepRule> TKeepRulesDialog::Rules() const {
    std::vector<KeepRule> rules;
    for (int k = 0; k < rules_->count(); ++k) {
        const QListWidgetItem* item = rules_->item(k);
        if (item->checkState() != Qt::Checked)
            continue;
        const auto kind = static_cast<KeepRuleKind>(item->data(kKindRole).toInt());
        QString parameter;
        if (kind == KeepRuleKind::InPreferredFolder) {
            parameter = folder_->currentText();
            if (!parameter.isEmpty() && !parameter.endsWith(QLatin1Char('/')))
                parameter += QLatin1Char('/');
        } else if (kind == KeepRuleKind::PreferredType) {
            parameter = type_->currentText().toLower();
        }
        rules.push_back({kind, parameter});
    }
    return rules;
}

QString TKeepRulesDialog::PreviewText() const {
    return previewLabel_->text();
}

void TKeepRulesDialog::moveCurrent(int step) {
    const int from = rules_->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= rules_->count())
        return;
    QListWidgetItem* item = rules_->takeItem(from);
    rules_->insertItem(to, item);
    rules_->setCurrentRow(to);
    updatePreview();
}

void TKeepRulesDialog::updatePreview() {
    const KeepPlan plan = preview_(Rules());
    previewLabel_->setText(QStringLiteral("%1 files will be marked, %2 freed when they are deleted.")
                               .arg(FormatCount(static_cast<double>(plan.ToMark.size()), locale_),
                                    FormatSize(plan.Bytes, locale_)));
}
