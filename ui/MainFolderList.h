// The folder list at the top of the main window: the list with its placeholder, the strip with the five
// folder buttons, the Start button and the "Scan Subdirectories" switch.
#pragma once

#include "history/WindowMemory.h"
#include "ui/MainWidgets.h"
#include "ui/WindowState.h"

#include <QObject>
#include <QStringList>

class QAction;
class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TClickLabel;
class TFolderDialog;
class TMainFrame;
class TPanel;

class TFolderList : public QObject {
    Q_OBJECT
public:
    // Builds the region as a child of `parent`; `folderDialog` picks the folders to add.
    TFolderList(TMainFrame& frame, TFolderDialog& folderDialog, TDesignScale scale, QWidget* parent);

    // The region's outer panel, for the frame's splitter.
    QWidget* Panel() const;

    // The handlers, as the window names them.
    void AddFolderButtonClick();
    void RemoveFolderButtonClick();
    void MoveFolderUpButtonClick();
    void MoveFolderDownButtonClick();
    void ClearDirectoriesButtonClick();
    void DirectoriesListBoxKeyDown(int key);
    void Label1Click();
    void FormDropFiles(const QStringList& paths);

    // The folder a dropped path contributes: the path itself when it is a folder, otherwise the part before
    // its last "/" ("/" for a file at the root); empty when that is not an existing folder. Ends with "/".
    static QString DroppedFolder(const QString& path);
    // Index of the selected folder, or -1.
    int SelectedFolderIndex() const;
    QStringList Items() const;

    // Makes the selected folder a reference folder ("never touch") or an ordinary one again; the flag goes
    // with the entry when it is moved and goes away with it.
    void ToggleReferenceFolder();
    // The reference folders, in the list's order.
    QStringList ReferenceFolders() const;
    // The list with its reference marks, as the window remembers it between runs; empty while the list
    // shows its invitation. Restoring an empty list leaves the invitation.
    std::vector<RememberedFolder> RememberedFolders() const;
    void RestoreFolders(const std::vector<RememberedFolder>& folders);
    // The list's menu item for the switch (checked when the selected folder is one).
    QAction* ReferenceAction() const { return referenceAction_; }
    bool ScanSubfolders() const;
    void SetScanSubfolders(bool on);

    // Enables one group of the region's controls; other groups are not the region's.
    void SetGroupEnabled(TControl group, bool on);
    // "Start Search" or, while a search runs, "Stop Search", on the button.
    void ShowStartCaption(bool searching);
    // The list stays disabled while it shows only its invitation.
    void DisableWhilePlaceholder();

signals:
    void addClicked();
    void removeClicked();
    void upClicked();
    void downClicked();
    void clearClicked();
    void startClicked();
    void scanLabelClicked();
    void deleteKeyPressed(int key);
    // An entry became or stopped being a reference folder, or left the list.
    void referenceFoldersChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layout();
    void leavePlaceholder();
    void showPlaceholder(const QString& line);
    void appendFolder(const QString& folder);
    // Removes the selected folder and leaves none selected.
    void removeSelectedFolder();
    void setupReferenceAction();
    void showAsReference(QListWidgetItem* item, bool on);

    TMainFrame& frame_;
    TFolderDialog& folderDialog_;
    TDesignScale S;
    TPanel* topPanel_ = nullptr;
    QListWidget* list_ = nullptr;
    TPanel* strip_ = nullptr;
    QLabel* caption_ = nullptr;
    QToolButton* add_ = nullptr;
    QToolButton* remove_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    QToolButton* clear_ = nullptr;
    QPushButton* start_ = nullptr;
    QCheckBox* scanSubfolders_ = nullptr;
    TClickLabel* scanLabel_ = nullptr;
    QAction* referenceAction_ = nullptr;
};
