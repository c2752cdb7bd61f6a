// The main window: the folder list at the top, the comparison pane in the middle, the results list at the
// bottom, the menus, start-up and shut-down, and the window side of a search.
#pragma once

#include "engine/SearchDriver.h"
#include "ui/AppState.h"
#include "ui/PlatformServices.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class QAction;
class QCheckBox;
class QCloseEvent;
class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QFont;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QResizeEvent;
class QPushButton;
class QShowEvent;
class QSplitter;
class QTableView;
class QTimer;
class QToolButton;
class TClickLabel;
class TFolderDialog;
class TPairListModel;
class TPanel;
class TPictureView;

class TMainForm : public QMainWindow, public SearchWindow {
    Q_OBJECT
public:
    // Runs FormCreate: settings loaded from the settings folder, idle state, folder list placeholder.
    TMainForm(PlatformServices& services, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The about box, settings dialog and update window, created after this window and shown modally from the
    // menus (and the update window from FormShow). Any of them may be absent in tests.
    void AttachWindows(QDialog* aboutForm, QDialog* settingsForm, QDialog* updateForm);

    AppState& State() { return state_; }
    PlatformServices& Services() { return services_; }
    SearchDriver& Driver() { return *driver_; }

    // Design units are pixels at 120 per inch; this scales them to the screen.
    int S(int designUnits) const;

    // ---- Controls, named as in the design (each also carries its name as objectName).
    // Menus
    QMenu* File1 = nullptr;
    QAction* StartSearch1 = nullptr;
    QAction* SavelistofdupliacatestoCSV1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Settings1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Howtouse1 = nullptr;
    QAction* CheckforUpdates1 = nullptr;
    QAction* Visitprogramswebsite1 = nullptr;
    QAction* About1 = nullptr;

    // Frame: the three regions are the panes of one vertical splitter, whose two handles are Splitter1 and
    // Splitter2.
    QSplitter* MainSplitter = nullptr;
    QWidget* Splitter1 = nullptr;
    QWidget* Splitter2 = nullptr;

    // Folder list (top)
    TPanel* TopPanel = nullptr;
    QListWidget* DirectoriesListBox = nullptr;
    TPanel* Panel2 = nullptr;
    QLabel* FoldersCaptionLabel = nullptr;
    QToolButton* AddFolderButton = nullptr;
    QToolButton* RemoveFolderButton = nullptr;
    QToolButton* MoveFolderUpButton = nullptr;
    QToolButton* MoveFolderDownButton = nullptr;
    QToolButton* ClearDirectoriesButton = nullptr;
    QPushButton* StartButton = nullptr;
    QCheckBox* ScanSubfoldersCheckBox = nullptr;
    TClickLabel* Label1 = nullptr;

    // Comparison pane and search panel (middle)
    TPanel* CentralPanel = nullptr;
    TPanel* SearchPanel = nullptr;
    QLabel* FilesCountLabel = nullptr;
    QLabel* CurrentDuplicatesFoundLabel = nullptr;
    QLabel* TimeLabel = nullptr;
    QProgressBar* SearchProgressBar = nullptr;
    TPanel* ImagePanel1 = nullptr;
    TPanel* BetweenImagesPanel = nullptr;
    TPanel* ImagePanel2 = nullptr;
    TPictureView* LeftImage = nullptr;
    TPictureView* RightImage = nullptr;
    TPanel* ImageTextPanel1 = nullptr;
    TPanel* ImageTextPanel2 = nullptr;
    QLabel* ImageLabel1 = nullptr;
    QLabel* ImageLabel2 = nullptr;
    TPanel* ImageButtonsPanel1 = nullptr;
    TPanel* ImageButtonsPanel2 = nullptr;
    QToolButton* MoveImageButton1 = nullptr;
    QToolButton* BrowseImageButton1 = nullptr;
    QToolButton* DeleteImageButton1 = nullptr;
    QToolButton* MoveImageButton2 = nullptr;
    QToolButton* BrowseImageButton2 = nullptr;
    QToolButton* DeleteImageButton2 = nullptr;
    QLabel* MoveImageLabel1 = nullptr;
    QLabel* BrowseImageLabel1 = nullptr;
    QLabel* DeleteImageLabel1 = nullptr;
    QLabel* MoveImageLabel2 = nullptr;
    QLabel* BrowseImageLabel2 = nullptr;
    QLabel* DeleteImageLabel2 = nullptr;
    QLabel* SimilarityLabel = nullptr;
    QLabel* PercentLabel = nullptr;
    QToolButton* SwapImagesButton = nullptr;

    // Summary and results list (bottom)
    TPanel* BottomPanel = nullptr;
    TPanel* SummaryPanel = nullptr;
    QLabel* ScannedCountLabel = nullptr;
    QLabel* DuplicatesFoundLabel = nullptr;
    QLabel* DiskUsageLabel = nullptr;
    QTableView* ListView1 = nullptr;
    TPairListModel* ListView1Model = nullptr;

    // Non-visual parts
    TFolderDialog* AddFolderDialog = nullptr;
    QTimer* Timer1 = nullptr;

    // ---- Lifecycle
    void FormShow();
    // Any close request: results list emptied, search told to stop, settings saved, catalogue released.
    // A failed save is reported and the window closes all the same.
    void FormCloseQuery();
    void Exit1Click();
    // True once the window has been asked to close; a search still unwinding then shows nothing more.
    bool Closed() const { return closed_; }

    // ---- Menu commands
    void StartButtonClick();
    void Settings1Click();
    void About1Click();
    void CheckforUpdates1Click();
    void Howtouse1Click();
    void Visitprogramswebsite1Click();

    // ---- Folder list (MainFolderList.cpp)
    void AddFolderButtonClick();
    void RemoveFolderButtonClick();
    void MoveFolderUpButtonClick();
    void MoveFolderDownButtonClick();
    void ClearDirectoriesButtonClick();
    void DirectoriesListBoxKeyDown(int key);
    void Label1Click();
    // Paths of dropped files and folders, in the order the drop lists them.
    void FormDropFiles(const QStringList& paths);
    // The folder a dropped path contributes: the path itself when it is a folder, otherwise the part before
    // its last "/" ("/" for a file at the root); empty when that is not an existing folder. Ends with "/".
    static QString DroppedFolder(const QString& path);
    // Index of the selected folder, or -1.
    int SelectedFolderIndex() const;

    // ---- Results list and comparison pane (MainResults.cpp)
    void ListView1Click();
    void ListView1ColumnClick(int column);
    void ListView1KeyUp(int key);
    void LeftImageClick();
    void RightImageClick();
    void SwapImagesButtonClick();
    void MoveImageButton1Click();
    void MoveImageButton2Click();
    void BrowseImageButton1Click();
    void BrowseImageButton2Click();
    void DeleteImageButton1Click();
    void DeleteImageButton2Click();
    void SavelistofdupliacatestoCSV1Click();
    int ResultRowCount() const;

    // ---- Search states and timer
    void Timer1Timer();
    void CentralPanelResize();
    void FormResize();

    // ---- SearchWindow
    void ProcessMessages() override;
    bool SearchStopped() const override;
    bool ScanSubfolders() const override;
    void SetFilesCountText(const QString& text) override;
    void SetCurrentDuplicatesText(const QString& text) override;
    QStringList FolderListItems() const override;
    bool PlaceholderShown() const override;
    void ShowError(const QString& text) override;
    void ShowSummary(const QString& text) override;
    void EnterSearchingState() override;
    void EnterIdleState() override;
    void StartElapsedTimer() override;
    void StopElapsedTimer() override;
    QString TimeText() const override;
    void BeginResultsUpdate() override;
    void SetResultRowCount(int rows) override;
    void EndResultsUpdate() override;
    void SetSummaryLabels(const QString& scanned, const QString& duplicates, const QString& diskUsage) override;
    void SelectFirstRowAndShow() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void SetupMenus();
    void SetupTopPanel();
    void SetupCentralPanel();
    void SetupImagePanel(int side);
    void SetupBottomPanel();
    // MainResults.cpp: the results list's model and columns, and the handlers of the list and the pane.
    void SetupResultsList();
    void ConnectResultsBrowser();
    void LayoutTopPanel();
    void LayoutCentralPanel();
    void LayoutImagePanel(int side);
    void LayoutSearchPanel();
    void LayoutBottomPanel();
    void ShowSamplePictures();
    void SetControlsEnabled(bool enabled);
    void UpdateProgressBar(const QString& filesCountText);
    // Folder list placeholder.
    void LeavePlaceholder();
    void ShowPlaceholder();
    void AppendFolder(const QString& folder);
    QFont DesignFont(int characterHeight, bool bold = false) const;
    // Runs a handler body under the general error report.
    template <typename F> void Guarded(F&& body);

    AppState state_;
    PlatformServices& services_;
    std::unique_ptr<SearchDriver> driver_;
    QDialog* aboutForm_ = nullptr;
    QDialog* settingsForm_ = nullptr;
    QDialog* updateForm_ = nullptr;
    double scale_ = 1.0;
    uint32_t searchStartTick_ = 0;
    bool shownOnce_ = false;
    bool closed_ = false;
};
