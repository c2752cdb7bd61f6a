// "Not duplicates…": the pairs the user said are not the same picture, each shown with the two paths the
// files had then, to forget one or all of them. What is forgotten pairs again in the next search.
#pragma once

#include <QDialog>

class PlatformServices;
class QListWidget;
class QPushButton;
class RememberedPairs;

class TRememberedPairsDialog : public QDialog {
    Q_OBJECT
public:
    // `pairs` is written at once after each change; it and `services` must outlive the dialog.
    TRememberedPairsDialog(RememberedPairs& pairs, PlatformServices& services, QWidget* parent = nullptr);

private:
    void fill();
    void forgetSelected();
    void forgetAll();
    // Writes the file; when it cannot be written the user is told, and the list shows what the file holds.
    void save();

    RememberedPairs& pairs_;
    PlatformServices& services_;
    QListWidget* list_ = nullptr;
    QPushButton* forgetButton_ = nullptr;
    QPushButton* forgetAllButton_ = nullptr;
};
