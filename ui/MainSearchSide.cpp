// The main window's side of a search: starting and stopping it, the states it passes through, and what the
// search driver reports to the window.
#include "ui/MainUnit.h"

#include "ui/MainFolderList.h"
#include "ui/MainResults.h"
#include "ui/MainSearchPanel.h"

#include <QCoreApplication>
#include <QThread>

namespace {

// The window states pause briefly, so that the change is seen before the work starts or the message opens.
constexpr unsigned long kStatePauseMs = 100;

}  // namespace

void TMainForm::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TMainForm::ScanSubfolders() const {
    return folders_->ScanSubfolders();
}

void TMainForm::ReportProgress(const SearchProgress& progress, ProgressLine line) {
    searchPanel_->ShowProgress(progress, line);
}

QStringList TMainForm::FolderListItems() const {
    return folders_->Items();
}

bool TMainForm::PlaceholderShown() const {
    return state_.PlaceholderShown;
}

void TMainForm::ShowError(const QString& text) {
    services_.ShowMessage(this, MessageKind::Error, text, MessageButtons::Ok);
}

void TMainForm::ShowSummary(const SearchOutcome& outcome) {
    // After a close the window is going away: nobody is left to read the outcome.
    if (Closed())
        return;
    QString text = SummaryMessage(outcome);
    // Only when some were, so that every other summary stays as it was.
    if (veto_ && veto_->Passed() > 0)
        text += PassedOverText(veto_->Passed()) + kMessageLineBreak;
    services_.ShowMessage(this, MessageKind::Information, text, MessageButtons::Ok);
}

void TMainForm::EnterSearchingState() {
    ApplyControlTable(TWindowState::Searching, true);
    windowState_ = TWindowState::Searching;
    results_->ResetForSearch();
    ShowStartCaption(true);
    searchPanel_->Show();
    searchPanel_->Reset();
    CentralPanelResize();
    FormResize();
    QThread::msleep(kStatePauseMs);
}

void TMainForm::EnterIdleState() {
    ApplyControlTable(TWindowState::Idle, true);
    if (windowState_ != TWindowState::Closing)
        windowState_ = TWindowState::Idle;
    ShowStartCaption(false);
    searchPanel_->Hide();
    FormResize();
    QThread::msleep(kStatePauseMs);
}

void TMainForm::StartElapsedTimer() {
    searchPanel_->StartTimer();
}

void TMainForm::StopElapsedTimer() {
    searchPanel_->StopTimer();
}

uint32_t TMainForm::ElapsedMs() const {
    return searchPanel_->ShownElapsedMs();
}

void TMainForm::BeginResultsUpdate() { results_->BeginResultsUpdate(); }
void TMainForm::SetResultRowCount(int rows) { results_->SetResultRowCount(rows); }
void TMainForm::EndResultsUpdate() { results_->EndResultsUpdate(); }
void TMainForm::SetSummaryLabels(const SummaryCountTexts& texts) { results_->SetSummaryLabels(texts); }
void TMainForm::SelectFirstRowAndShow() { results_->SelectFirstRowAndShow(); }
