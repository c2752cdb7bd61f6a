// The folder list at the top of the main window: its placeholder, the five tool buttons, the Delete key,
// drops from the file manager and the "Scan Subdirectories" label.
#include "ui/MainUnit.h"

#include "ui/FolderDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>

namespace {

const QString kPlaceholderLater = QStringLiteral("       You can drag directories from the Windows Explorer");
constexpr QChar kDelimiter = QLatin1Char('/');

QString WithDelimiter(const QString& folder) {
    return folder.endsWith(kDelimiter) ? folder : folder + kDelimiter;
}

}  // namespace

void TMainForm::LeavePlaceholder() {
    if (!state_.PlaceholderShown)
        return;
    DirectoriesListBox->clear();
    DirectoriesListBox->setEnabled(true);
    state_.PlaceholderShown = false;
}

void TMainForm::ShowPlaceholder() {
    DirectoriesListBox->addItems({QString(), QString(), kPlaceholderLater});
    for (int i = 0; i < DirectoriesListBox->count(); ++i)
        DirectoriesListBox->item(i)->setSizeHint(QSize(0, S(18)));
    DirectoriesListBox->setEnabled(false);
    state_.PlaceholderShown = true;
}

void TMainForm::AppendFolder(const QString& folder) {
    auto* item = new QListWidgetItem(WithDelimiter(folder), DirectoriesListBox);
    item->setSizeHint(QSize(0, S(18)));
    item->setToolTip(item->text());
}

int TMainForm::SelectedFolderIndex() const {
    const QList<QListWidgetItem*> selected = DirectoriesListBox->selectedItems();
    return selected.isEmpty() ? -1 : DirectoriesListBox->row(selected.first());
}

void TMainForm::AddFolderButtonClick() {
    AddFolderDialog->Caption = QStringLiteral("Add folder to search");
    if (!AddFolderDialog->Execute())
        return;
    LeavePlaceholder();
    AppendFolder(AddFolderDialog->Directory);
}

void TMainForm::RemoveFolderButtonClick() {
    if (state_.PlaceholderShown)
        return;
    const int index = SelectedFolderIndex();
    if (index >= 0)
        delete DirectoriesListBox->takeItem(index);
    if (DirectoriesListBox->count() == 0)
        ShowPlaceholder();
}

void TMainForm::DirectoriesListBoxKeyDown(int key) {
    if (key != Qt::Key_Delete)
        return;
    // Unlike Remove, this never brings the placeholder back: the last Delete leaves an empty list.
    const int index = SelectedFolderIndex();
    if (index >= 0)
        delete DirectoriesListBox->takeItem(index);
}

void TMainForm::MoveFolderUpButtonClick() {
    const int index = SelectedFolderIndex();
    if (state_.PlaceholderShown || index <= 0)
        return;
    QListWidgetItem* item = DirectoriesListBox->takeItem(index);
    DirectoriesListBox->insertItem(index - 1, item);
    DirectoriesListBox->setCurrentRow(index - 1);
}

void TMainForm::MoveFolderDownButtonClick() {
    const int index = SelectedFolderIndex();
    if (state_.PlaceholderShown || index < 0 || index >= DirectoriesListBox->count() - 1)
        return;
    QListWidgetItem* item = DirectoriesListBox->takeItem(index);
    DirectoriesListBox->insertItem(index + 1, item);
    DirectoriesListBox->setCurrentRow(index + 1);
}

void TMainForm::ClearDirectoriesButtonClick() {
    if (state_.PlaceholderShown)
        return;
    DirectoriesListBox->clear();
    ShowPlaceholder();
}

void TMainForm::Label1Click() {
    // Also while the box is disabled during a search: the scanner reads it as it enters each folder, so the
    // change applies to the folders not yet entered.
    ScanSubfoldersCheckBox->setChecked(!ScanSubfoldersCheckBox->isChecked());
}

QString TMainForm::DroppedFolder(const QString& path) {
    if (path.isEmpty())
        return {};
    if (QFileInfo(path).isDir())
        return WithDelimiter(path);
    const qsizetype cut = path.lastIndexOf(kDelimiter);
    if (cut < 0)
        return {};
    // A file at the root keeps the root's own delimiter.
    const QString folder = cut == 0 ? QString(kDelimiter) : path.left(cut);
    if (!QFileInfo(folder).isDir())
        return {};
    return WithDelimiter(folder);
}

void TMainForm::FormDropFiles(const QStringList& paths) {
    LeavePlaceholder();
    for (const QString& path : paths) {
        const QString folder = DroppedFolder(path);
        if (!folder.isEmpty())
            AppendFolder(folder);
    }
}
