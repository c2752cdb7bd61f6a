// "Mark duplicates…": the user orders and switches on keep-rules, sets the preferred folder and type, and
// sees how many files and bytes will be marked before applying.
#pragma once

#include "results/KeepRules.h"

#include <QDialog>
#include <QLocale>
#include <QStringList>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

class TKeepRulesDialog : public QDialog {
    Q_OBJECT
public:
    // `preview` gives the plan of a rule list; `folders` and `types` fill the choices of the preferred folder
    // and type (the first of each is preset).
    TKeepRulesDialog(std::function<KeepPlan(const std::vector<KeepRule>&)> preview, const QStringList& folders,
                     const QStringList& types, const QLocale& locale, QWidget* parent = nullptr);

    // The switched-on rules in the order shown.
    std::vector<KeepRule> Rules() const;
    // The preview line, as last computed.
    QString PreviewText() const;

private:
    void moveCurrent(int step);
    void updatePreview();

    std::function<KeepPlan(const std::vector<KeepRule>&)> preview_;
    const QLocale& locale_;
    QListWidget* rules_ = nullptr;
    QComboBox* folder_ = nullptr;
    QComboBox* type_ = nullptr;
    QLabel* previewLabel_ = nullptr;
};
