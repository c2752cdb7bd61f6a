// The results list and the comparison pane of the main window: sorting by a header click, the refresh of the
// pane, opening and swapping pictures, the delete, move and reveal actions, and the CSV export.
#include "ui/MainUnit.h"

#include "engine/CsvWriter.h"
#include "engine/SortProcedures.h"
#include "ui/ComparisonPane.h"
#include "ui/ErrorReport.h"
#include "platform/FileActions.h"
#include "ui/FolderDialog.h"
#include "ui/MainWidgets.h"
#include "ui/PairListModel.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace {

// A delete waits this long before its question, so the click has finished before the box appears.
constexpr unsigned long kDeletePauseMs = 200;
// Column widths in design units: the two path columns share what is left between these bounds.
constexpr int kPathColumnMin = 100;
constexpr int kPathColumnMax = 800;
constexpr int kSimilarityColumnWidth = 100;
constexpr int kSimilarityColumnMin = 50;
constexpr int kRowHeight = 21;
// Caption labels under the picture buttons: grey at rest, white while the pointer is over their button.
const QColor kCaptionRest(128, 128, 128);
const QColor kCaptionLit(255, 255, 255);

// Which picture of the pair a button acts on.
enum class Side { Left, Right };

const QString kLineBreak = QStringLiteral("\n\r");

void SetCaptionColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

// The selected row of the list, or -1.
int SelectedResultRow(const TMainForm& form) {
    const QItemSelectionModel* selection = form.ListView1->selectionModel();
    if (!selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool ValidPicture(const Catalogue& cat, int32_t picIndex) {
    return picIndex >= 0 && picIndex <= cat.LastPicIndex && static_cast<size_t>(picIndex) < cat.Pictures.size();
}

// The row and picture a file action works on.
struct ActionTarget {
    int row = -1;
    int32_t picIndex = -1;
};

// The picture of the selected row on the given side; nothing when the list has no rows, no row is selected,
// or a sort is half way through the pair list.
std::optional<ActionTarget> TargetOf(TMainForm& form, Side side) {
    const Catalogue& cat = form.State().catalogue;
    if (form.State().PairListBusy || form.ResultRowCount() < 1)
        return std::nullopt;
    const int row = SelectedResultRow(form);
    if (row < 0 || row > cat.LastPairIndex)
        return std::nullopt;
    const TPicturePair& pair = cat.PicturePairs[static_cast<size_t>(row)];
    const int32_t picIndex = side == Side::Left ? pair.PicIndex1 : pair.PicIndex2;
    if (!ValidPicture(cat, picIndex))
        return std::nullopt;
    return ActionTarget{row, picIndex};
}

// Suspends the list's redrawing for the length of a file action or a sort, on every path out.
class RedrawPause {
public:
    explicit RedrawPause(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
    ~RedrawPause() { widget_->setUpdatesEnabled(true); }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    QWidget* widget_;
};

// Held while a sort lets pending events run: header clicks, file actions, the swap and the export see
// PairListBusy and do nothing, a new search cannot be started, and a close request defers the catalogue's
// release until the sort has let go of the pair list.
class PairListSortScope {
public:
    explicit PairListSortScope(TMainForm& form)
        : form_(form), hold_(form.State().catalogue), startWasEnabled_(form.StartButton->isEnabled()),
          menuWasEnabled_(form.StartSearch1->isEnabled()) {
        form_.State().PairListBusy = true;
        form_.StartButton->setEnabled(false);
        form_.StartSearch1->setEnabled(false);
    }
    ~PairListSortScope() {
        form_.StartButton->setEnabled(startWasEnabled_);
        form_.StartSearch1->setEnabled(menuWasEnabled_);
        form_.State().PairListBusy = false;
    }
    PairListSortScope(const PairListSortScope&) = delete;
    PairListSortScope& operator=(const PairListSortScope&) = delete;

private:
    TMainForm& form_;
    Catalogue::SearchUse hold_;
    bool startWasEnabled_;
    bool menuWasEnabled_;
};

// After a delete or a move, done or refused: the list takes the pair count again and keeps the row position
// (or the last row), the window returns to its idle state and the pane shows the row now selected.
void RefreshAfterFileAction(TMainForm& form, int row) {
    const Catalogue& cat = form.State().catalogue;
    form.SetResultRowCount(cat.PairCapacity);
    form.ListView1->setUpdatesEnabled(true);
    if (cat.PairCapacity > 0)
        form.ListView1->selectRow(std::min(cat.LastPairIndex, row));
    form.EnterIdleState();
    form.ListView1Click();
}

// Every pair of the picture leaves the list and the picture is marked gone; its record stays.
void ForgetPicture(Catalogue& cat, int32_t picIndex) {
    cat.RemovePicturePairs(picIndex);
    cat.Pictures[static_cast<size_t>(picIndex)].Deleted = true;
}

QString ErrorCodeText(int code) {
    return QStringLiteral("Error code = ") + QString::number(static_cast<unsigned>(code));
}

// A volume without a usable trash: the file stays, and the user may choose a permanent delete instead.
QString NoTrashText() {
    return QStringLiteral("It cannot be moved to the trash on this drive; nothing was deleted.");
}

// Reports a missing file; true when it exists.
bool FileStillThere(TMainForm& form, const QString& path, const QString& name) {
    if (QFileInfo::exists(path))
        return true;
    form.Services().ShowMessage(&form, MessageKind::Error, QStringLiteral("Cannot find this file:") + kLineBreak + name,
                                MessageButtons::Ok);
    return false;
}

void DeletePicture(TMainForm& form, Side side) {
    const std::optional<ActionTarget> target = TargetOf(form, side);
    if (!target)
        return;
    Catalogue& cat = form.State().catalogue;
    const QString name = cat.Pictures[static_cast<size_t>(target->picIndex)].FileName;
    const QString path = cat.PicturePath(target->picIndex);
    if (!FileStillThere(form, path, name))
        return;
    QThread::msleep(kDeletePauseMs);
    if (!form.State().settings.DeleteWithoutAsking &&
        form.Services().ShowMessage(&form, MessageKind::Confirmation,
                                    QStringLiteral("Do you really want to delete") + kLineBreak + name,
                                    MessageButtons::YesNo) != MessageAnswer::Yes)
        return;

    RedrawPause pause(form.ListView1);
    PlatformServices& services = form.Services();
    const FileOpResult result = DeletePictureFile(path, form.State().settings.MoveToRecycle,
                                                  [&services](const QString& p) { return services.MoveToTrash(p); });
    if (result.ok)
        ForgetPicture(cat, target->picIndex);
    else
        services.ShowMessage(&form, MessageKind::Error,
                             QStringLiteral("Cannot delete file ") + name + kLineBreak +
                                 (result.trashUnavailable ? NoTrashText() : ErrorCodeText(result.errorCode)),
                             MessageButtons::Ok);
    RefreshAfterFileAction(form, target->row);
}

void MovePicture(TMainForm& form, Side side) {
    const std::optional<ActionTarget> target = TargetOf(form, side);
    if (!target)
        return;
    Catalogue& cat = form.State().catalogue;
    const QString name = cat.Pictures[static_cast<size_t>(target->picIndex)].FileName;
    const QString path = cat.PicturePath(target->picIndex);
    if (!FileStillThere(form, path, name))
        return;
    form.AddFolderDialog->Caption = QStringLiteral("Move ") + name + QStringLiteral(" to selected folder");
    if (!form.AddFolderDialog->Execute())
        return;

    RedrawPause pause(form.ListView1);
    const FileOpResult result = MovePictureFile(path, MoveDestination(form.AddFolderDialog->Directory, name));
    if (result.ok) {
        ForgetPicture(cat, target->picIndex);
        form.Services().ShowMessage(&form, MessageKind::Information, name + QStringLiteral(" moved successfully"),
                                    MessageButtons::Ok);
    } else {
        form.Services().ShowMessage(&form, MessageKind::Error,
                                    QStringLiteral("Cannot move file ") + name + kLineBreak +
                                        ErrorCodeText(result.errorCode),
                                    MessageButtons::Ok);
    }
    RefreshAfterFileAction(form, target->row);
}

// Reveal and open neither change the pair list, so a sort in progress does not hold them back.
std::optional<QString> SelectedPicturePath(TMainForm& form, Side side) {
    const Catalogue& cat = form.State().catalogue;
    const int row = SelectedResultRow(form);
    if (form.ResultRowCount() < 1 || row < 0 || row > cat.LastPairIndex)
        return std::nullopt;
    const TPicturePair& pair = cat.PicturePairs[static_cast<size_t>(row)];
    const int32_t picIndex = side == Side::Left ? pair.PicIndex1 : pair.PicIndex2;
    if (!ValidPicture(cat, picIndex))
        return std::nullopt;
    return cat.PicturePath(picIndex);
}

void RevealPicture(TMainForm& form, Side side) {
    const std::optional<QString> path = SelectedPicturePath(form, side);
    if (path && !form.Services().RevealFile(*path))
        form.Services().ShowMessage(&form, MessageKind::Error,
                                    QStringLiteral("Cannot show ") + QFileInfo(*path).fileName() +
                                        QStringLiteral(" in the file manager"),
                                    MessageButtons::Ok);
}

void OpenPicture(TMainForm& form, Side side) {
    const std::optional<QString> path = SelectedPicturePath(form, side);
    if (path && QFileInfo::exists(*path))
        form.Services().OpenOrReport(&form, *path, QFileInfo(*path).fileName());
}

// Key releases of the list and the pointer entering and leaving the picture buttons.
class ResultsEventFilter : public QObject {
public:
    explicit ResultsEventFilter(TMainForm& form) : QObject(&form), form_(form) {
        captions_ = {{form.MoveImageButton1, form.MoveImageLabel1},     {form.BrowseImageButton1, form.BrowseImageLabel1},
                     {form.DeleteImageButton1, form.DeleteImageLabel1}, {form.MoveImageButton2, form.MoveImageLabel2},
                     {form.BrowseImageButton2, form.BrowseImageLabel2}, {form.DeleteImageButton2, form.DeleteImageLabel2}};
        form.ListView1->installEventFilter(this);
        for (const auto& [button, label] : captions_)
            button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == form_.ListView1 && event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // A held key repeats its release; the list reacts once, when the key really comes up.
            if (!key->isAutoRepeat()) {
                const int code = key->key();
                RunGuarded(form_.Services(), &form_, [this, code] { form_.ListView1KeyUp(code); });
            }
            return false;
        }
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
            for (const auto& [button, label] : captions_) {
                if (watched == button)
                    SetCaptionColour(label, event->type() == QEvent::Enter ? kCaptionLit : kCaptionRest);
            }
        }
        return false;
    }

private:
    TMainForm& form_;
    std::vector<std::pair<QToolButton*, QLabel*>> captions_;
};

}  // namespace

void TMainForm::SetupResultsList() {
    ListView1Model = new TPairListModel(state_.catalogue, state_.SystemNumberFormat, this);
    ListView1->setModel(ListView1Model);
    ListView1->setShowGrid(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSortingEnabled(false);
    ListView1->setWordWrap(false);
    ListView1->setTextElideMode(Qt::ElideMiddle);
    ListView1->verticalHeader()->hide();
    ListView1->verticalHeader()->setDefaultSectionSize(S(kRowHeight));
    QHeaderView* header = ListView1->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(std::min(S(kSimilarityColumnMin), S(kPathColumnMin)));
    header->setMaximumSectionSize(S(kPathColumnMax));
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Fixed);
    header->resizeSection(2, S(kSimilarityColumnWidth));
}

void TMainForm::ConnectResultsBrowser() {
    const auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { RunGuarded(services_, this, [this, handler] { (this->*handler)(); }); };
    };
    connect(ListView1, &QTableView::clicked, this, guarded(&TMainForm::ListView1Click));
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        RunGuarded(services_, this, [this, column] { ListView1ColumnClick(column); });
    });
    connect(LeftImage, &TPictureView::clicked, this, guarded(&TMainForm::LeftImageClick));
    connect(RightImage, &TPictureView::clicked, this, guarded(&TMainForm::RightImageClick));
    connect(SwapImagesButton, &QToolButton::clicked, this, guarded(&TMainForm::SwapImagesButtonClick));
    connect(MoveImageButton1, &QToolButton::clicked, this, guarded(&TMainForm::MoveImageButton1Click));
    connect(MoveImageButton2, &QToolButton::clicked, this, guarded(&TMainForm::MoveImageButton2Click));
    connect(BrowseImageButton1, &QToolButton::clicked, this, guarded(&TMainForm::BrowseImageButton1Click));
    connect(BrowseImageButton2, &QToolButton::clicked, this, guarded(&TMainForm::BrowseImageButton2Click));
    connect(DeleteImageButton1, &QToolButton::clicked, this, guarded(&TMainForm::DeleteImageButton1Click));
    connect(DeleteImageButton2, &QToolButton::clicked, this, guarded(&TMainForm::DeleteImageButton2Click));
    new ResultsEventFilter(*this);
}

int TMainForm::ResultRowCount() const {
    return ListView1Model->rowCount();
}

void TMainForm::BeginResultsUpdate() {
    ListView1Model->SetRowCount(0);
    ListView1->setUpdatesEnabled(false);
}

void TMainForm::SetResultRowCount(int rows) {
    // After a close the pairs are released (or about to be): the list stays empty.
    ListView1Model->SetRowCount(Closed() ? 0 : rows);
}

void TMainForm::EndResultsUpdate() {
    ListView1->setUpdatesEnabled(true);
}

void TMainForm::SelectFirstRowAndShow() {
    if (Closed() || ResultRowCount() < 1)
        return;
    ListView1->selectRow(0);
    ListView1Click();
}

void TMainForm::ListView1Click() {
    const int row = SelectedResultRow(*this);
    if (ResultRowCount() < 1 || row < 0)
        return;
    const Catalogue& cat = state_.catalogue;
    if (row > cat.LastPairIndex)
        return;
    const TPicturePair pair = cat.PicturePairs[static_cast<size_t>(row)];
    if (!ValidPicture(cat, pair.PicIndex1) || !ValidPicture(cat, pair.PicIndex2))
        return;
    const TPicInfo& a = cat.Pictures[static_cast<size_t>(pair.PicIndex1)];
    const TPicInfo& b = cat.Pictures[static_cast<size_t>(pair.PicIndex2)];

    // Each preview replaces its picture as soon as it is decoded: a failure on the right leaves the new left
    // picture with the old texts, and goes on to the general error report.
    QImage left = LoadPreview(cat.PicturePath(pair.PicIndex1), a.Width, a.Height);
    LeftImage->SetPicture(left);
    QImage right = LoadPreview(cat.PicturePath(pair.PicIndex2), b.Width, b.Height);
    RightImage->SetPicture(right);
    ImageLabel1->setText(PictureInfoText(a, state_.SystemNumberFormat));
    ImageLabel2->setText(PictureInfoText(b, state_.SystemNumberFormat));
    PercentLabel->setText(PercentText(pair.Similarity, state_.SystemNumberFormat));
    DrawImageFrame(left);
    LeftImage->SetPicture(left);
    DrawImageFrame(right);
    RightImage->SetPicture(right);
}

void TMainForm::ListView1ColumnClick(int column) {
    Catalogue& cat = state_.catalogue;
    if (state_.PairListBusy || cat.PairCapacity <= 0 || column < 0 || column >= TPairListModel::kColumnCount)
        return;
    state_.SortDescending = column == state_.SortColumn ? !state_.SortDescending : false;
    {
        RedrawPause pause(ListView1);
        PairListSortScope busy(*this);
        const std::function<void()> processMessages = [this] { ProcessMessages(); };
        switch (column) {
        case 0:
            SortPairsByPath(cat.Pictures, cat.PicturePairs, cat.FolderPaths, 0, cat.LastPairIndex, CompareByFirstPath,
                            state_.SortDescending, processMessages);
            break;
        case 1:
            SortPairsByPath(cat.Pictures, cat.PicturePairs, cat.FolderPaths, 0, cat.LastPairIndex, CompareBySecondPath,
                            state_.SortDescending, processMessages);
            break;
        default:
            SortPairsBySimilarity(cat.PicturePairs, 0, cat.LastPairIndex, CompareBySimilarity, state_.SortDescending,
                                  processMessages);
            break;
        }
    }
    // The same count redraws the rows in place: the selection keeps its position and the pane is not
    // refreshed. A close during the sort has released the pairs by now, and the list ends empty.
    SetResultRowCount(cat.PairCapacity);
    state_.SortColumn = column;
}

void TMainForm::ListView1KeyUp(int key) {
    if (ResultRowCount() < 1)
        return;
    // The list has already moved its selection when the key comes up; other keys leave the pane alone.
    if (key == Qt::Key_Up || key == Qt::Key_Down)
        ListView1Click();
}

void TMainForm::LeftImageClick() {
    OpenPicture(*this, Side::Left);
}

void TMainForm::RightImageClick() {
    OpenPicture(*this, Side::Right);
}

void TMainForm::SwapImagesButtonClick() {
    if (state_.PairListBusy)
        return;
    const int row = SelectedResultRow(*this);
    if (row < 0) {
        const QImage left = LeftImage->Picture();
        LeftImage->SetPicture(RightImage->Picture());
        RightImage->SetPicture(left);
        return;
    }
    Catalogue& cat = state_.catalogue;
    if (row > cat.LastPairIndex)
        return;
    TPicturePair& pair = cat.PicturePairs[static_cast<size_t>(row)];
    std::swap(pair.PicIndex1, pair.PicIndex2);
    ListView1Model->RowChanged(row);
    ListView1Click();
}

void TMainForm::MoveImageButton1Click() {
    MovePicture(*this, Side::Left);
}

void TMainForm::MoveImageButton2Click() {
    MovePicture(*this, Side::Right);
}

void TMainForm::BrowseImageButton1Click() {
    RevealPicture(*this, Side::Left);
}

void TMainForm::BrowseImageButton2Click() {
    RevealPicture(*this, Side::Right);
}

void TMainForm::DeleteImageButton1Click() {
    DeletePicture(*this, Side::Left);
}

void TMainForm::DeleteImageButton2Click() {
    DeletePicture(*this, Side::Right);
}

void TMainForm::SavelistofdupliacatestoCSV1Click() {
    // Half way through a sort the list is in no order worth saving.
    if (state_.PairListBusy)
        return;
    if (ResultRowCount() < 1) {
        services_.ShowMessage(this, MessageKind::Error, QStringLiteral("The list of duplicates is empty."),
                              MessageButtons::Ok);
        return;
    }
    const SaveChoice choice =
        services_.ChooseSaveFile(this, QStringLiteral("Save your list of Duplicates to CSV file"),
                                 QStringLiteral("CSV files (*.csv);;Any file (*)"), QStringLiteral("csv"));
    if (!choice.accepted || choice.path.isEmpty())
        return;
    if (QFileInfo::exists(choice.path) &&
        services_.ShowMessage(this, MessageKind::Information,
                              QStringLiteral("The file \"") + choice.path +
                                  QStringLiteral("\" exists. Replace it with a new one?"),
                              MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    // The old file is not deleted first: the new one replaces it only once it is complete, so a failed
    // write (reported by the general error report) leaves the old file as it was.
    WriteFileAtomically(choice.path, PairListCsv(state_.catalogue, state_.SystemNumberFormat));
}
