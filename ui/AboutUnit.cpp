#include "ui/AboutUnit.h"

#include "platform/BuildInfo.h"
#include "ui/DesignUnits.h"
#include "ui/ErrorReport.h"
#include "ui/MainWidgets.h"
#include "ui/SiteAddresses.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {
// The links' blue (colour value 11360551).
const QColor kLinkColour(39, 89, 173);
}  // namespace

int TAboutForm::S(int designUnits) const {
    return DesignPixels(this, designUnits);
}

TAboutForm::TAboutForm(PlatformServices& services, QWidget* parent) : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Voralin"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(S(594), S(303));
    const QFont base = DesignFont(S(14));
    setFont(base);

    auto label = [this](const char* name, const QString& text, int left, int top) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        l->move(S(left), S(top));
        return l;
    };

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(S(26), S(31), S(128), S(128));
    Image1->setPixmap(QIcon(QStringLiteral(":/voralin/voralin.svg")).pixmap(QSize(S(128), S(128))));

    Label1 = label("Label1", QStringLiteral("Voralin"), 181, 31);
    QFont bold = base;
    bold.setBold(true);
    bold.setPixelSize(S(20));
    Label1->setFont(bold);
    Version = label("Version", QStringLiteral("Version ") + QLatin1String(BuildInfo::kVersion), 181, 67);
    Label2 = label("Label2", QStringLiteral("Copyright \u00A9 2026 Voralin Software"), 181, 102);

    QFont link = base;
    link.setBold(true);
    link.setUnderline(true);
    link.setPixelSize(S(15));
    auto linkLabel = [&](const char* name, const QString& text, int top) {
        auto* l = new TClickLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(link);
        l->setCursor(Qt::PointingHandCursor);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, kLinkColour);
        l->setPalette(p);
        l->move(S(181), S(top));
        return l;
    };
    SiteLabel = linkLabel("SiteLabel", SiteAddresses::HostName(), 137);
    // The address as people write it; a click still opens a mail to it.
    Label3 = linkLabel("Label3", SiteAddresses::SupportMailAddress(), 173);
    for (QLabel* l : {Label1, Version, Label2, static_cast<QLabel*>(SiteLabel), static_cast<QLabel*>(Label3)})
        l->adjustSize();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(S(210), S(226), S(179), S(43));
    OKButton->setDefault(true);

    connect(SiteLabel, &TClickLabel::clicked, this, [this] { RunGuarded(services_, this, [this] { SiteLabelClick(); }); });
    connect(Label3, &TClickLabel::clicked, this, [this] { RunGuarded(services_, this, [this] { Label3Click(); }); });
    connect(OKButton, &QPushButton::clicked, this, &TAboutForm::OKButtonClick);
}

void TAboutForm::SiteLabelClick() {
    services_.OpenOrReport(this, SiteAddresses::AboutSiteUrl(), SiteAddresses::AboutSiteUrl());
}

void TAboutForm::Label3Click() {
    services_.OpenOrReport(this, SiteAddresses::SupportMailUrl(), SiteAddresses::SupportMailUrl());
}

void TAboutForm::OKButtonClick() {
    accept();
}
