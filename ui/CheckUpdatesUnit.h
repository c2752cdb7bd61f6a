// The update window: asks the maker's web site for the current version number and tells the user whether a
// newer one exists. Shown modally from the Help menu and, when enabled, once at start-up.
#pragma once

#include "platform/BuildInfo.h"
#include "ui/PlatformServices.h"

#include <QDialog>
#include <QPointer>
#include <QUrl>
#include <chrono>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QTimer;

// The version file on the maker's site (plain HTTP, standard port).
QUrl DefaultVersionUrl();

class TUpdateForm : public QDialog {
    Q_OBJECT
public:
    // Values of UpdateCheckState().
    static constexpr int kChecking = 0;  // the request runs
    static constexpr int kReplied = 1;   // a reply arrived, or the window was asked to close
    static constexpr int kFailed = 2;    // the request failed

    // The program's own version; any other reply, however small the difference, counts as newer.
    static constexpr const char* kOwnVersion = BuildInfo::kVersion;
    // A version file is a few bytes; a longer reply is not one and counts as a failed request.
    static constexpr qint64 kMaxReplyBytes = 4096;
    // Without it a server that accepts and never answers would leave the window checking for ever.
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{15000};

    // startupUpdateCheck is the main window's flag, true while the automatic check at start-up runs and
    // has found nothing worth showing; this window clears it whatever the outcome. Both references must
    // outlive the window. versionUrl is where the version file is fetched (tests point it at a local server).
    TUpdateForm(PlatformServices& services, bool& startupUpdateCheck, QWidget* parent = nullptr,
                QUrl versionUrl = DefaultVersionUrl());
    ~TUpdateForm() override;

    // 0 while checking, 1 after a reply or a close request, 2 after a failure.
    int UpdateCheckState() const { return updateCheckState_; }
    // How long one check may take before it counts as failed; takes effect at the next showing.
    void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

    // Closes the window.
    void OKButtonClick();
    // Opens the download page in the default browser, then closes the window.
    void DownloadButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    // Every way of closing ends here (close box, the buttons, the automatic close); it stops a running
    // request, so a close during the check never leaves a reply behind.
    void done(int result) override;

private:
    void SetupControls();
    void FormShow();
    void StartRequest();
    void Timer1Timer();
    void ReplyProgress(QNetworkReply* reply);
    void ReplyFinished(QNetworkReply* reply);
    void ShowResult(bool replied, const QString& body);
    void StopCheck();

    PlatformServices& services_;
    bool& startupUpdateCheck_;
    QUrl versionUrl_;
    std::chrono::milliseconds timeLimit_ = kDefaultTimeLimit;
    int updateCheckState_ = kReplied;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> reply_;
    QTimer* limitTimer_ = nullptr;
    bool checkRunning_ = false;  // from the showing until a result is shown or the window closes
    bool replyTooLarge_ = false;
    quint64 showing_ = 0;        // tells a request queued by an earlier showing to stand down

    // Outside the window the controls are found by their objectName only.
    QLabel* UpdateStatusLabel = nullptr;
    QPushButton* DownloadButton = nullptr;
    QPushButton* OKButton = nullptr;
    QTimer* Timer1 = nullptr;
};
