// The results browser's file actions: delete, move, not a duplicate, and the undo and history that put files
// back; after each the list keeps its row position and the pane shows the row now selected.
#include "ui/MainResults.h"

#include "history/RecordedActions.h"
#include "history/UndoHistory.h"
#include "platform/FileActions.h"
#include "ui/ComparisonPane.h"
#include "ui/FolderDialog.h"
#include "ui/HistoryDialog.h"
#include "ui/MainComparisonView.h"
#include "ui/MainFrame.h"
#include "ui/PairListModel.h"
#include "ui/RedrawPause.h"
#include "ui/ResultsViews.h"

#include <QFileInfo>
#include <QSet>
#include <QTableView>
#include <QThread>
#include <map>
#include <functional>
#include <algorithm>

namespace {

// A delete waits this long before its question, so the click has finished before the box appears.
constexpr unsigned long kDeletePauseMs = 200;

QString ErrorCodeText(int code) {
    return QStringLiteral("Error code = ") + QString::number(static_cast<unsigned>(code));
}

// A volume without a usable trash: the file stays, and the user may choose a permanent delete instead.
QString NoTrashText() {
    return QStringLiteral("It cannot be moved to the trash on this drive; nothing was deleted.");
}

}  // namespace

bool TResultsBrowser::refusedAsReference(int32_t picture, const QString& what) {
    if (!views_->IsReference(picture))
        return false;
    frame_.Services().ShowMessage(frame_.Window(), MessageKind::Error,
                                  what + kMessageLineBreak + QStringLiteral("It lies in a reference folder."),
                                  MessageButtons::Ok);
    return true;
}

bool TResultsBrowser::fileStillThere(const QString& path, const QString& name) {
    if (QFileInfo::exists(path))
        return true;
    frame_.Services().ShowMessage(frame_.Window(), MessageKind::Error,
                                  QStringLiteral("Cannot find this file:") + kMessageLineBreak + name,
                                  MessageButtons::Ok);
    return false;
}

// After a delete or a move, done or refused: the list takes the pair count again and keeps the row position
// (or the last row), the window returns to its idle state and the pane shows the row now selected.
void TResultsBrowser::refreshAfterFileAction(int row) {
    const Catalogue& cat = frame_.State().catalogue;
    SetResultRowCount(cat.PairCapacity);
    list_->setUpdatesEnabled(true);
    const int next = RowAfterFileAction(ResultRowCount(), row);
    if (next >= 0)
        list_->selectRow(next);
    frame_.EnterIdleState();
    showSelectedPair();
}

void TResultsBrowser::UndoLastStep() {
    AppState& state = frame_.State();
    if (!PairListFree(frame_.WindowState()) || !state.Journal)
        return;
    PlatformServices& services = frame_.Services();
    // Another window or voralin-cli may have acted since.
    state.Journal->Reload();
    UndoHistory history(*state.Journal);
    const std::optional<HistoryStep> step = history.LastUndoable();
    if (!step) {
        services.ShowMessage(frame_.Window(), MessageKind::Information, QStringLiteral("Nothing to undo."),
                             MessageButtons::Ok);
        return;
    }
    reportRestore(history.RestoreStep(step->Step));
}

void TResultsBrowser::reportRestore(const RestoreReport& report) {
    {
        RedrawPause pause(list_);
        bringBack(report.Restored);
    }
    const bool whole = !report.Refused && report.NotRestored.empty();
    frame_.Services().ShowMessage(frame_.Window(), whole ? MessageKind::Information : MessageKind::Error,
                                  RestoreReportText(report, kMessageLineBreak), MessageButtons::Ok);
}

void TResultsBrowser::ShowHistory() {
    AppState& state = frame_.State();
    if (!PairListFree(frame_.WindowState()) || !state.Journal)
        return;
    state.Journal->Reload();
    UndoHistory history(*state.Journal);
    THistoryDialog dialog(history, [this](const RestoreReport& report) { reportRestore(report); }, frame_.Window());
    frame_.Services().RunDialog(dialog);
}

void TResultsBrowser::NotADuplicate() {
    if (!PairListFree(frame_.WindowState()) || !frame_.State().Remembered)
        return;
    const std::optional<ActionTarget> shown = targetOf(PairSide::Left);
    if (shown)
        rememberNotDuplicates({model_->PairOfRow(shown->Row)}, shown->Row);
}

void TResultsBrowser::GroupNotDuplicates(const std::vector<int32_t>& pairs) {
    if (!PairListFree(frame_.WindowState()) || !frame_.State().Remembered || pairs.empty())
        return;
    rememberNotDuplicates(pairs, std::max(0, SelectedRow()));
}

void TResultsBrowser::rememberNotDuplicates(std::vector<int32_t> pairs, int row) {
    AppState& state = frame_.State();
    Catalogue& cat = state.catalogue;
    PlatformServices& services = frame_.Services();
    // Each file's content is read once, however many of the pairs it is in.
    std::map<int32_t, std::optional<FileIdentity>> identities;
    const auto identity = [&](int32_t picture) -> const std::optional<FileIdentity>& {
        auto [it, fresh] = identities.try_emplace(picture);
        if (fresh)
            it->second = IdentityOf(cat.PicturePath(picture));
        return it->second;
    };
    std::vector<int32_t> leaving;
    std::vector<std::pair<FileIdentity, FileIdentity>> added;
    QStringList problems;
    for (const int32_t index : pairs) {
        if (index < 0 || index > cat.LastPairIndex)
            continue;
        const TPicturePair& pair = cat.PicturePairs[static_cast<size_t>(index)];
        const std::optional<FileIdentity>& a = identity(pair.PicIndex1);
        const std::optional<FileIdentity>& b = identity(pair.PicIndex2);
        if (!a || !b) {
            problems << QStringLiteral("Cannot read this file:") + kMessageLineBreak +
                            cat.Pictures[static_cast<size_t>(a ? pair.PicIndex2 : pair.PicIndex1)].FileName;
            continue;
        }
        if (*a == *b) {
            // Byte-identical files are duplicates whatever anyone says; their pair stays.
            problems << QStringLiteral("These two files have the same content: they are duplicates.");
            continue;
        }
        if (state.Remembered->Remember(*a, cat.PicturePath(pair.PicIndex1), *b, cat.PicturePath(pair.PicIndex2)))
            added.emplace_back(*a, *b);
        leaving.push_back(index);
    }
    if (!added.empty() && !state.Remembered->Save()) {
        for (const auto& [a, b] : added)
            state.Remembered->Forget(a, b);
        services.ShowMessage(frame_.Window(), MessageKind::Error,
                             QStringLiteral("Unable to write to ") + state.Remembered->File(), MessageButtons::Ok);
        return;
    }
    problems.removeDuplicates();
    if (!problems.isEmpty())
        services.ShowMessage(frame_.Window(), MessageKind::Error, problems.join(kMessageLineBreak), MessageButtons::Ok);
    if (leaving.empty())
        return;
    RedrawPause pause(list_);
    // From the end, so that each index still names its pair.
    std::sort(leaving.begin(), leaving.end(), std::greater<>());
    for (const int32_t index : leaving)
        cat.RemovePairAt(index);
    refreshAfterFileAction(row);
}

void TResultsBrowser::bringBack(const std::vector<JournalRecord>& restored) {
    Catalogue& cat = frame_.State().catalogue;
    if (restored.empty() || cat.LastPicIndex < 0)
        return;
    QSet<QString> paths;
    for (const JournalRecord& r : restored)
        paths.insert(r.Source);
    // Only pictures this list forgot can come back into it; files of an earlier search wait for the next one.
    std::vector<int32_t> pictures;
    for (int32_t k = 0; k <= cat.LastPicIndex && static_cast<size_t>(k) < cat.Pictures.size(); ++k)
        if (cat.Pictures[static_cast<size_t>(k)].Deleted && paths.contains(cat.PicturePath(k)))
            pictures.push_back(k);
    if (pictures.empty() || cat.RestorePicturePairs(pictures) == 0)
        return;
    SetResultRowCount(cat.PairCapacity);
    // The first pair that came back is the one shown.
    const int32_t first = pictures.front();
    for (int32_t i = 0; i <= cat.LastPairIndex; ++i) {
        const TPicturePair& p = cat.PicturePairs[static_cast<size_t>(i)];
        if (p.PicIndex1 == first || p.PicIndex2 == first) {
            const int row = model_->RowOfPair(i);
            if (row >= 0) {
                list_->selectRow(row);
                list_->scrollTo(model_->index(row, 0));
            }
            break;
        }
    }
    showSelectedPair();
}

std::optional<ActionTarget> TResultsBrowser::fileActionTarget(PairSide side, const QString& refusal) {
    if (!PairListFree(frame_.WindowState()))
        return std::nullopt;
    const std::optional<ActionTarget> target = targetOf(side);
    if (!target)
        return std::nullopt;
    const Catalogue& cat = frame_.State().catalogue;
    const QString name = cat.Pictures[static_cast<size_t>(target->PicIndex)].FileName;
    if (refusedAsReference(target->PicIndex, refusal + name) || !fileStillThere(cat.PicturePath(target->PicIndex), name))
        return std::nullopt;
    return target;
}

void TResultsBrowser::DeletePicture(PairSide side, bool forGood) {
    const std::optional<ActionTarget> target = fileActionTarget(side, QStringLiteral("Cannot delete file "));
    if (!target)
        return;
    Catalogue& cat = frame_.State().catalogue;
    const TSettings& settings = frame_.State().settings;
    PlatformServices& services = frame_.Services();
    const QString name = cat.Pictures[static_cast<size_t>(target->PicIndex)].FileName;
    const QString path = cat.PicturePath(target->PicIndex);
    QThread::msleep(kDeletePauseMs);
    const bool toTrash = settings.MoveToRecycle && !forGood;
    // A deletion for good asked for by its own key is always confirmed, whatever the setting says.
    if ((forGood || !settings.DeleteWithoutAsking) &&
        services.ShowMessage(frame_.Window(), MessageKind::Confirmation,
                             (forGood ? QStringLiteral("Do you really want to delete permanently")
                                      : QStringLiteral("Do you really want to delete")) +
                                 kMessageLineBreak + name,
                             toTrash ? MessageButtons::YesNo : MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes)
        return;

    RedrawPause pause(list_);
    const FileOpResult result = RecordedFileActions(frame_.State().Journal.get())
                                    .Delete(path, toTrash,
                                            [&services](const QString& p) { return services.MoveToTrash(p); });
    if (result.ok)
        ForgetPicture(cat, target->PicIndex);
    else
        services.ShowMessage(frame_.Window(), MessageKind::Error,
                             QStringLiteral("Cannot delete file ") + name + kMessageLineBreak +
                                 (result.trashUnavailable ? NoTrashText() : ErrorCodeText(result.errorCode)),
                             MessageButtons::Ok);
    refreshAfterFileAction(target->Row);
}

void TResultsBrowser::MovePicture(PairSide side) {
    const std::optional<ActionTarget> target = fileActionTarget(side, QStringLiteral("Cannot move file "));
    if (!target)
        return;
    Catalogue& cat = frame_.State().catalogue;
    PlatformServices& services = frame_.Services();
    const QString name = cat.Pictures[static_cast<size_t>(target->PicIndex)].FileName;
    const QString path = cat.PicturePath(target->PicIndex);
    folderDialog_.Caption = QStringLiteral("Move ") + name + QStringLiteral(" to selected folder");
    if (!folderDialog_.Execute())
        return;

    RedrawPause pause(list_);
    const FileOpResult result =
        RecordedFileActions(frame_.State().Journal.get()).Move(path, MoveDestination(folderDialog_.Directory, name));
    if (result.ok) {
        ForgetPicture(cat, target->PicIndex);
        services.ShowMessage(frame_.Window(), MessageKind::Information, name + QStringLiteral(" moved successfully"),
                             MessageButtons::Ok);
    } else {
        services.ShowMessage(frame_.Window(), MessageKind::Error,
                             QStringLiteral("Cannot move file ") + name + kMessageLineBreak +
                                 ErrorCodeText(result.errorCode),
                             MessageButtons::Ok);
    }
    refreshAfterFileAction(target->Row);
}

