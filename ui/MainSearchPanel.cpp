// The search panel over the comparison pane and the elapsed-time timer.
#include "ui/MainSearchPanel.h"

#include "engine/SearchTexts.h"

#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {

constexpr int kTimerIntervalMs = 1000;
// The first label sits this far above the middle, the others follow at this step.
constexpr int kSearchLabelsAboveMiddle = 64;
constexpr int kSearchLabelStep = 32;
constexpr int kSearchLabelHeight = 34;

// The system tick counter in milliseconds, 32 bits wide; differences survive its wrap.
uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

TSearchPanel::TSearchPanel(TDesignScale scale, QWidget* centralPanel)
    : QObject(centralPanel), S(scale), central_(centralPanel) {
    panel_ = MakePanel(centralPanel, "SearchPanel", true);
    panel_->SetColour(kPanelColour, kPanelText);
    panel_->onResize = [this] { layoutLabels(); };
    const SearchProgress none;
    filesCount_ = MakeLabel(panel_, "FilesCountLabel", FilesCountText(none), S.Font(23), Qt::AlignCenter);
    pairsFound_ = MakeLabel(panel_, "CurrentDuplicatesFoundLabel", PairsFoundText(none), S.Font(23), Qt::AlignCenter);
    time_ = MakeLabel(panel_, "TimeLabel", ElapsedTimeText(0), S.Font(23), Qt::AlignCenter);
    for (QLabel* label : {filesCount_, pairsFound_, time_})
        SetTextColour(label, kPanelText);
    bar_ = new QProgressBar(panel_);
    bar_->setObjectName(QStringLiteral("SearchProgressBar"));
    bar_->setTextVisible(false);
    bar_->setRange(0, 0);
    panel_->setGeometry(0, 0, 0, 0);
    panel_->hide();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(kTimerIntervalMs);
    connect(timer_, &QTimer::timeout, this, &TSearchPanel::timerTicked);
}

void TSearchPanel::Show() {
    panel_->setGeometry(0, 0, central_->width(), central_->height());
    panel_->show();
    panel_->raise();
}

void TSearchPanel::Hide() {
    panel_->setGeometry(0, 0, central_->width(), 0);
    panel_->hide();
}

bool TSearchPanel::Shown() const {
    return !panel_->isHidden();
}

int TSearchPanel::CoveredHeight() const {
    return panel_->isHidden() ? 0 : panel_->height();
}

void TSearchPanel::FollowCentralPanel(bool searching) {
    if (searching) {
        panel_->setGeometry(0, 0, central_->width(), central_->height());
        const int filesTop = panel_->height() / 2 - S(kSearchLabelsAboveMiddle);
        filesCount_->move(filesCount_->x(), filesTop);
        pairsFound_->move(pairsFound_->x(), filesTop + S(kSearchLabelStep));
        time_->move(time_->x(), filesTop + 2 * S(kSearchLabelStep));
        layoutLabels();
    }
    panel_->setGeometry(0, 0, central_->width(), std::min(panel_->height(), central_->height()));
}

void TSearchPanel::Raise() {
    panel_->raise();
}

void TSearchPanel::layoutLabels() {
    // The labels keep their design margins on both sides and centre their text; a text wider than that
    // takes the margins rather than being cut.
    const int w = panel_->width();
    struct Placed {
        QLabel* label;
        int margin;
    };
    for (const Placed& p : {Placed{filesCount_, 230}, Placed{pairsFound_, 295}, Placed{time_, 319}}) {
        const int needed = p.label->fontMetrics().horizontalAdvance(p.label->text()) + S(8);
        const int margin = std::max(0, std::min(S(p.margin), (w - needed) / 2));
        p.label->setGeometry(margin, p.label->y(), std::max(0, w - 2 * margin), S(kSearchLabelHeight));
    }
    const int barMargin = std::max(S(8), std::min(S(295), (w - S(260)) / 2));
    bar_->setGeometry(barMargin, time_->y() + S(kSearchLabelHeight) + S(14), std::max(0, w - 2 * barMargin), S(18));
}

void TSearchPanel::Reset() {
    const SearchProgress none;
    ShowProgress(none, ProgressLine::Pictures);
    ShowProgress(none, ProgressLine::Pairs);
    showElapsed(0);
}

void TSearchPanel::ShowProgress(const SearchProgress& progress, ProgressLine line) {
    if (line == ProgressLine::Pairs) {
        pairsFound_->setText(PairsFoundText(progress));
        return;
    }
    filesCount_->setText(FilesCountText(progress));
    // While the folders are walked nothing has been compared yet: the bar only shows activity.
    if (progress.Done <= 0 || progress.Total <= 0) {
        bar_->setRange(0, 0);
    } else {
        bar_->setRange(0, progress.Total);
        bar_->setValue(std::min(progress.Done, progress.Total));
    }
    if (Shown())
        layoutLabels();
}

void TSearchPanel::StartTimer() {
    startTick_ = TickCount();
    timer_->start();
}

void TSearchPanel::StopTimer() {
    timer_->stop();
}

void TSearchPanel::Tick(bool searching) {
    if (searching)
        showElapsed(TickCount() - startTick_);
}

void TSearchPanel::showElapsed(uint32_t milliseconds) {
    shownElapsedMs_ = milliseconds;
    time_->setText(ElapsedTimeText(milliseconds));
}

QString TSearchPanel::TimeText() const {
    return time_->text();
}
