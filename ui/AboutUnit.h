// The about box: the logo, the program's name and version, the maker's notice, the web and mail links.
#pragma once

#include "ui/PlatformServices.h"

#include <QDialog>

class QLabel;
class QPushButton;
class TClickLabel;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    TAboutForm(PlatformServices& services, QWidget* parent = nullptr);

    // The site's page over plain HTTP.
    void SiteLabelClick();
    // The support address in the mail program.
    void Label3Click();
    void OKButtonClick();

private:
    int S(int designUnits) const;
    PlatformServices& services_;

    // Outside the dialog the controls are found by their objectName only.
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label2 = nullptr;
    TClickLabel* SiteLabel = nullptr;
    TClickLabel* Label3 = nullptr;
    QPushButton* OKButton = nullptr;
};
