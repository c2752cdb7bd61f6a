#include "ui/CheckUpdatesUnit.h"

#include "ui/DesignUnits.h"
#include "ui/SiteAddresses.h"
#include "ui/UpdateReply.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

namespace {

constexpr int kClientWidth = 538;
constexpr int kClientHeight = 142;
constexpr int kFontHeight = 14;
constexpr int kOKButtonLayoutLeft = 305;  // where "Cancel" stands beside "Go to Download Page"
constexpr int kDotInterval = 250;         // milliseconds between two steps of the dots

const QString kCheckingText = QStringLiteral("Checking for Update");

}  // namespace

QUrl DefaultVersionUrl() { return QUrl(SiteAddresses::VersionFileUrl()); }

TUpdateForm::TUpdateForm(PlatformServices& services, bool& startupUpdateCheck, QWidget* parent, QUrl versionUrl)
    : QDialog(parent), services_(services), startupUpdateCheck_(startupUpdateCheck),
      versionUrl_(std::move(versionUrl)) {
    SetupControls();
    network_ = new QNetworkAccessManager(this);
    network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    limitTimer_ = new QTimer(this);
    limitTimer_->setSingleShot(true);
    connect(limitTimer_, &QTimer::timeout, this, [this] {
        if (reply_)
            reply_->abort();  // finishes the reply with an error: the Failed state
    });
}

TUpdateForm::~TUpdateForm() {
    checkRunning_ = false;
    if (!reply_)
        return;
    disconnect(reply_, nullptr, this, nullptr);
    reply_->abort();
}

void TUpdateForm::SetupControls() {
    setObjectName(QStringLiteral("CheckUpdatesForm"));
    setWindowTitle(QStringLiteral("CheckUpdatesForm"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    const auto s = [this](int units) { return DesignPixels(this, units); };

    setFont(DesignFont(s(kFontHeight)));
    setFixedSize(s(kClientWidth), s(kClientHeight));

    UpdateStatusLabel = new QLabel(kCheckingText, this);
    UpdateStatusLabel->setObjectName(QStringLiteral("UpdateStatusLabel"));
    UpdateStatusLabel->setGeometry(s(10), s(17), s(527), s(17));
    UpdateStatusLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // The label shows what a web server sent over plain HTTP: never let it be read as markup.
    UpdateStatusLabel->setTextFormat(Qt::PlainText);

    DownloadButton = new QPushButton(QStringLiteral("Go to Download Page"), this);
    DownloadButton->setObjectName(QStringLiteral("DownloadButton"));
    DownloadButton->setGeometry(s(107), s(55), s(190), s(43));

    OKButton = new QPushButton(QStringLiteral("Close"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(s(kOKButtonLayoutLeft), s(55), s(137), s(43));
    setTabOrder(DownloadButton, OKButton);
    // Enter closes the window, as Escape does, unless the download button has the keyboard.
    OKButton->setDefault(true);
    DownloadButton->setAutoDefault(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kDotInterval);

    connect(Timer1, &QTimer::timeout, this, &TUpdateForm::Timer1Timer);
    connect(OKButton, &QPushButton::clicked, this, &TUpdateForm::OKButtonClick);
    connect(DownloadButton, &QPushButton::clicked, this, &TUpdateForm::DownloadButtonClick);
}

void TUpdateForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TUpdateForm::FormShow() {
    updateCheckState_ = kChecking;
    setWindowTitle(kCheckingText);
    UpdateStatusLabel->setText(kCheckingText);
    OKButton->hide();
    OKButton->move((width() - OKButton->width()) / 2, OKButton->y());
    OKButton->setText(QStringLiteral("Close"));
    DownloadButton->hide();
    Timer1->start();
    checkRunning_ = true;
    replyTooLarge_ = false;
    // The request goes out once the window has been drawn, so the dots run while it waits.
    const quint64 showing = ++showing_;
    QTimer::singleShot(0, this, [this, showing] {
        if (showing == showing_ && checkRunning_)
            StartRequest();
    });
}

void TUpdateForm::StartRequest() {
    QNetworkRequest request(versionUrl_);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { ReplyProgress(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { ReplyProgress(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { ReplyFinished(reply); });
    limitTimer_->start(timeLimit_);
}

void TUpdateForm::ReplyProgress(QNetworkReply* reply) {
    if (reply != reply_ || replyTooLarge_)
        return;
    const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool declaredTooLarge = declared.isValid() && declared.toLongLong() > kMaxReplyBytes;
    if (declaredTooLarge || reply->bytesAvailable() > kMaxReplyBytes) {
        replyTooLarge_ = true;
        reply->abort();
    }
}

void TUpdateForm::ReplyFinished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != reply_)
        return;
    reply_ = nullptr;
    limitTimer_->stop();
    if (!checkRunning_)
        return;  // the window was closed; done() has already ended the check

    UpdateReplyFacts facts;
    facts.NetworkError = reply->error() != QNetworkReply::NoError;
    facts.HttpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    facts.TooLarge = replyTooLarge_;
    facts.ContentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    if (!facts.NetworkError && !facts.TooLarge)
        facts.Body = reply->readAll();
    const std::optional<QString> version = EvaluateUpdateReply(facts, kMaxReplyBytes);
    ShowResult(version.has_value(), version.value_or(QString()));
}

void TUpdateForm::ShowResult(bool replied, const QString& body) {
    if (replied) {
        updateCheckState_ = kReplied;
        if (body == QLatin1String(kOwnVersion)) {
            UpdateStatusLabel->setText(QStringLiteral("No updates available at the time."));
        } else {
            UpdateStatusLabel->setText(QStringLiteral("A new version of Voralin ") + body +
                                       QStringLiteral(" is available!"));
            DownloadButton->show();
            OKButton->setText(QStringLiteral("Cancel"));
            OKButton->move(DesignPixels(this, kOKButtonLayoutLeft), OKButton->y());
            startupUpdateCheck_ = false;
        }
    } else {
        // At start-up an unreachable site (no network, a firewall) is not worth a window in front of the
        // program every time; the menu's check still says so.
        UpdateStatusLabel->setText(QStringLiteral("Error. Can't connect to website."));
        updateCheckState_ = kFailed;
    }
    Timer1->stop();
    checkRunning_ = false;

    if (startupUpdateCheck_) {
        // The automatic check stays silent when nothing is new.
        startupUpdateCheck_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    OKButton->show();
}

void TUpdateForm::Timer1Timer() {
    if (updateCheckState_ != kChecking)
        return;
    const QString text = UpdateStatusLabel->text();
    if (text == kCheckingText)
        UpdateStatusLabel->setText(kCheckingText + QStringLiteral("."));
    else if (text == kCheckingText + QStringLiteral("."))
        UpdateStatusLabel->setText(kCheckingText + QStringLiteral(".."));
    else if (text == kCheckingText + QStringLiteral(".."))
        UpdateStatusLabel->setText(kCheckingText + QStringLiteral("..."));
    else if (text == kCheckingText + QStringLiteral("..."))
        UpdateStatusLabel->setText(kCheckingText);
}

void TUpdateForm::OKButtonClick() { close(); }

void TUpdateForm::DownloadButtonClick() {
    services_.OpenOrReport(this, SiteAddresses::DownloadPageUrl(), SiteAddresses::DownloadPageUrl());
    close();
}

void TUpdateForm::done(int result) {
    updateCheckState_ = kReplied;
    StopCheck();
    QDialog::done(result);
}

void TUpdateForm::StopCheck() {
    if (!checkRunning_)
        return;
    // A check that is abandoned has found nothing worth showing at start-up either.
    checkRunning_ = false;
    startupUpdateCheck_ = false;
    Timer1->stop();
    limitTimer_->stop();
    if (reply_)
        reply_->abort();
}
