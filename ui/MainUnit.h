// The main window: a frame of menus and a splitter over its regions (the folder list at the top, the
// comparison pane with the search panel over it in the middle, the summary line and the results list at
// the bottom), start-up and shut-down, the one window state, and the window side of a search.
#pragma once

#include "engine/PictureSupply.h"
#include "engine/SearchDriver.h"
#include "ui/AppState.h"
#include "ui/MainFrame.h"
#include "ui/PlatformServices.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>

class QCloseEvent;
class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QResizeEvent;
class QShowEvent;
class TFolderList;
class TResultsBrowser;
class TSearchPanel;

class TMainForm : public QMainWindow, public SearchWindow, public TMainFrame {
    Q_OBJECT
public:
    // Runs FormCreate: settings loaded from the settings folder, idle state, folder list placeholder. The
    // window's searches decode and cache as `supply` says.
    explicit TMainForm(PlatformServices& services, PictureSupplyOptions supply = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The about box, settings dialog and update window, created after this window and shown modally from the
    // menus (and the update window from FormShow). Any of them may be absent in tests.
    void AttachWindows(QDialog* aboutForm, QDialog* settingsForm, QDialog* updateForm);
    // Brings back what the window remembered of its last run (folders with their reference marks, geometry,
    // splitter, column widths, sort state, view) and keeps it at every close from now on. Off unless the
    // program asks, so that tests and tools never read or write the user's window state. True when a
    // geometry was restored.
    bool RememberWindow();

    AppState& State() override { return state_; }
    PlatformServices& Services() override { return services_; }
    SearchDriver& Driver() { return *driver_; }
    // The regions, for views and commands that build on them. The controls themselves carry their design
    // names as objectName.
    TResultsBrowser& Results() { return *results_; }
    TFolderList& FolderList() { return *folders_; }

    // Design units are pixels at 120 per inch; this scales them to the screen.
    int S(int designUnits) const;

    // ---- Window state
    TWindowState WindowState() const override { return windowState_; }
    void ChangeWindowState(TWindowState state) override;
    // True whenever no search runs or a running search has been asked to stop.
    bool SearchStopped() const;
    // True once the window has been asked to close; a search still unwinding then shows nothing more.
    bool Closed() const { return windowState_ == TWindowState::Closing; }

    // ---- Lifecycle
    void FormShow();
    // Any close request: results list emptied, search told to stop, settings saved, catalogue released.
    // A failed save is reported and the window closes all the same.
    void FormCloseQuery();
    void Exit1Click();

    // ---- Menu commands
    void StartButtonClick();
    void Settings1Click();
    void About1Click();
    void CheckforUpdates1Click();
    void Howtouse1Click();
    void Visitprogramswebsite1Click();

    // ---- Folder list
    void AddFolderButtonClick();
    void RemoveFolderButtonClick();
    void MoveFolderUpButtonClick();
    void MoveFolderDownButtonClick();
    void ClearDirectoriesButtonClick();
    void DirectoriesListBoxKeyDown(int key);
    void Label1Click();
    // Paths of dropped files and folders, in the order the drop lists them.
    void FormDropFiles(const QStringList& paths);
    // The folder a dropped path contributes (see TFolderList::DroppedFolder).
    static QString DroppedFolder(const QString& path);
    // Index of the selected folder, or -1.
    int SelectedFolderIndex() const;
    QStringList ReferenceFolders() const;

    // ---- Results list and comparison pane
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
    void Undo1Click();
    void NotDuplicates1Click();
    void History1Click();
    int ResultRowCount() const;

    // ---- Search panel and timer
    void Timer1Timer();
    void CentralPanelResize();
    void FormResize();
    // The time line's text.
    QString TimeText() const;

    // ---- SearchWindow and TMainFrame
    void ProcessMessages() override;
    bool ScanSubfolders() const override;
    void ReportProgress(const SearchProgress& progress, ProgressLine line) override;
    QStringList FolderListItems() const override;
    bool PlaceholderShown() const override;
    void ShowError(const QString& text) override;
    void ShowSummary(const SearchOutcome& outcome) override;
    void EnterSearchingState() override;
    void EnterIdleState() override;
    void StartElapsedTimer() override;
    void StopElapsedTimer() override;
    uint32_t ElapsedMs() const override;
    void BeginResultsUpdate() override;
    void SetResultRowCount(int rows) override;
    void EndResultsUpdate() override;
    void SetSummaryLabels(const SummaryCountTexts& texts) override;
    void SelectFirstRowAndShow() override;
    QWidget* Window() override { return this; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Frame;
    void FormCreate();
    void saveWindowMemory();
    void SetupMenus();
    void SetupRegions();
    void ConnectRegions();
    void LayoutCentralPanel();
    // Enables each group of controls as the state's row says: every group, or only those whose row entry
    // differs from the current state's.
    void ApplyControlTable(TWindowState state, bool everyGroup);
    void SetGroupEnabled(TControl group, bool on);
    void ShowStartCaption(bool searching);
    // Runs a handler body under the general error report.
    template <typename F> void Guarded(F&& body);

    AppState state_;
    PlatformServices& services_;
    PictureSupplyOptions supply_;
    std::unique_ptr<Frame> frame_;
    TFolderList* folders_ = nullptr;
    TResultsBrowser* results_ = nullptr;
    TSearchPanel* searchPanel_ = nullptr;
    std::unique_ptr<SearchDriver> driver_;
    TWindowState windowState_ = TWindowState::Idle;
    QDialog* aboutForm_ = nullptr;
    QDialog* settingsForm_ = nullptr;
    QDialog* updateForm_ = nullptr;
    double scale_ = 1.0;
    bool shownOnce_ = false;
    bool rememberWindow_ = false;
    std::optional<RememberedPairVeto> veto_;
};
