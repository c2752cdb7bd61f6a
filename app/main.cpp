// The program's entry: the application object with the general error report, the four windows created once
// in their fixed order, and the message loop.
#include "engine/PictureSupply.h"
#include "ui/AboutUnit.h"
#include "ui/CheckUpdatesUnit.h"
#include "ui/MainUnit.h"
#include "ui/QtPlatformServices.h"
#include "ui/SettingsUnit.h"
#include "ui/VoralinApplication.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char** argv) {
    QtPlatformServices services;
    VoralinApplication app(argc, argv, services);
    QApplication::setApplicationName(QStringLiteral("Voralin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Voralin"));
    QApplication::setApplicationVersion(QStringLiteral("1.2.1"));
    QGuiApplication::setDesktopFileName(QStringLiteral("voralin"));
    // The window's searches decode on every core and keep signatures in ~/.cache/Voralin/ between searches.
    PictureSupplyOptions supply;
    supply.UseCache = true;
    SetDefaultPictureSupply(supply);

    TMainForm mainForm(services);
    QApplication::setWindowIcon(mainForm.windowIcon());
    TAboutForm aboutForm(services, &mainForm);
    TSettingsForm settingsForm(mainForm.State().settings, services, &mainForm);
    TUpdateForm updateForm(services, mainForm.State().StartupUpdateCheck, &mainForm);
    mainForm.AttachWindows(&aboutForm, &settingsForm, &updateForm);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = mainForm.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        mainForm.move(frame.topLeft());
    }
    mainForm.show();
    return QApplication::exec();
}
