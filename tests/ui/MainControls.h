// The main window's controls for tests, found by the design names they carry as objectName.
#pragma once

#include "ui/FolderDialog.h"
#include "ui/MainUnit.h"
#include "ui/MainWidgets.h"
#include "ui/PairListModel.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <memory>

#define VORALIN_MAIN_CONTROLS(X)                                                                                    \
    X(QMenu, File1) X(QAction, StartSearch1) X(QAction, SavelistofdupliacatestoCSV1) X(QAction, Exit1)              \
    X(QAction, Settings1) X(QMenu, Help1) X(QAction, Howtouse1) X(QAction, CheckforUpdates1)                        \
    X(QAction, Visitprogramswebsite1) X(QAction, About1) X(QSplitter, MainSplitter) X(QWidget, Splitter1)           \
    X(QWidget, Splitter2) X(TPanel, TopPanel) X(QListWidget, DirectoriesListBox) X(TPanel, Panel2)                  \
    X(QLabel, FoldersCaptionLabel) X(QToolButton, AddFolderButton) X(QToolButton, RemoveFolderButton)               \
    X(QToolButton, MoveFolderUpButton) X(QToolButton, MoveFolderDownButton) X(QToolButton, ClearDirectoriesButton)  \
    X(QPushButton, StartButton) X(QCheckBox, ScanSubfoldersCheckBox) X(TClickLabel, Label1) X(TPanel, CentralPanel) \
    X(TPanel, SearchPanel) X(QLabel, FilesCountLabel) X(QLabel, CurrentDuplicatesFoundLabel) X(QLabel, TimeLabel)   \
    X(QProgressBar, SearchProgressBar) X(TPanel, ImagePanel1) X(TPanel, BetweenImagesPanel) X(TPanel, ImagePanel2)  \
    X(TPictureView, LeftImage) X(TPictureView, RightImage) X(TPanel, ImageTextPanel1) X(TPanel, ImageTextPanel2)    \
    X(QLabel, ImageLabel1) X(QLabel, ImageLabel2) X(TPanel, ImageButtonsPanel1) X(TPanel, ImageButtonsPanel2)       \
    X(QToolButton, MoveImageButton1) X(QToolButton, BrowseImageButton1) X(QToolButton, DeleteImageButton1)          \
    X(QToolButton, MoveImageButton2) X(QToolButton, BrowseImageButton2) X(QToolButton, DeleteImageButton2)          \
    X(QLabel, MoveImageLabel1) X(QLabel, BrowseImageLabel1) X(QLabel, DeleteImageLabel1) X(QLabel, MoveImageLabel2) \
    X(QLabel, BrowseImageLabel2) X(QLabel, DeleteImageLabel2) X(QLabel, SimilarityLabel) X(QLabel, PercentLabel)    \
    X(QToolButton, SwapImagesButton) X(TPanel, BottomPanel) X(TPanel, SummaryPanel) X(QLabel, ScannedCountLabel)    \
    X(QLabel, DuplicatesFoundLabel) X(QLabel, DiskUsageLabel) X(QTableView, ListView1)                              \
    X(TPairListModel, ListView1Model) X(TFolderDialog, AddFolderDialog) X(QTimer, Timer1)

// Every control of one window; a name the window does not carry is a failed lookup, which the test reports.
struct MainControls {
#define VORALIN_DECLARE(Type, Name) Type* Name = nullptr;
    VORALIN_MAIN_CONTROLS(VORALIN_DECLARE)
#undef VORALIN_DECLARE

    explicit MainControls(const TMainForm& form) {
#define VORALIN_FIND(Type, Name) Name = Find<Type>(form, #Name);
        VORALIN_MAIN_CONTROLS(VORALIN_FIND)
#undef VORALIN_FIND
    }

private:
    template <typename T> static T* Find(const TMainForm& form, const char* name) {
        T* found = form.findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("the main window has no control named %s", name);
        return found;
    }
};

inline MainControls Ctl(const TMainForm& form) {
    return MainControls(form);
}
inline MainControls Ctl(const std::unique_ptr<TMainForm>& form) {
    return MainControls(*form);
}
