// The search panel: while a search runs it covers the comparison pane with the two progress lines, the
// elapsed time and a progress bar, and keeps the one-second timer of the elapsed time.
#pragma once

#include "engine/SearchHost.h"
#include "ui/MainWidgets.h"

#include <QObject>
#include <cstdint>

class QProgressBar;
class QTimer;
class TPanel;

class TSearchPanel : public QObject {
    Q_OBJECT
public:
    // Builds the panel, hidden, as the last child of `centralPanel`, so that it lies above the pane.
    TSearchPanel(TDesignScale scale, QWidget* centralPanel);

    // Hidden, or up and as high as the central panel with its labels placed.
    void Show();
    void Hide();
    bool Shown() const;
    // The height the pane below keeps clear: 0 while hidden.
    int CoveredHeight() const;
    // Follows the central panel's size; places the labels only while `searching`.
    void FollowCentralPanel(bool searching);
    // Keeps the panel above the pane after the frame's layout.
    void Raise();

    // The three lines at the start of a search.
    void Reset();
    // One line of the progress and the bar: the bar shows activity until the first picture is compared.
    void ShowProgress(const SearchProgress& progress, ProgressLine line);

    // Timer1: starts the clock; a tick shows the time since then when `searching`.
    void StartTimer();
    void StopTimer();
    void Tick(bool searching);
    // The elapsed time the time line shows.
    uint32_t ShownElapsedMs() const { return shownElapsedMs_; }
    QString TimeText() const;

signals:
    void timerTicked();

private:
    void layoutLabels();
    void showElapsed(uint32_t milliseconds);

    TDesignScale S;
    QWidget* central_;
    TPanel* panel_ = nullptr;
    QLabel* filesCount_ = nullptr;
    QLabel* pairsFound_ = nullptr;
    QLabel* time_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTimer* timer_ = nullptr;
    uint32_t startTick_ = 0;
    uint32_t shownElapsedMs_ = 0;
};
