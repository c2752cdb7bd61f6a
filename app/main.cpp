// The program's entry: the application object with the general error report, the four windows created once
// in their fixed order, and the message loop.
#include "ui/AboutUnit.h"
#include "ui/CheckUpdatesUnit.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/QtPlatformServices.h"
#include "ui/SettingsUnit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <exception>

namespace {

// Reports an error that escapes any handler and lets the program go on; handlers normally report their own
// through RunGuarded, this catches what they do not.
class VoralinApplication : public QApplication {
public:
    VoralinApplication(int& argc, char** argv, PlatformServices& services)
        : QApplication(argc, argv), services_(services) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowGeneralError(services_, activeWindow(), QString::fromUtf8(e.what()));
        } catch (...) {
            ShowGeneralError(services_, activeWindow(), QStringLiteral("Unknown error"));
        }
        return false;
    }

private:
    PlatformServices& services_;
};

}  // namespace

int main(int argc, char** argv) {
    QtPlatformServices services;
    VoralinApplication app(argc, argv, services);
    QApplication::setApplicationName(QStringLiteral("Voralin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Voralin"));
    QApplication::setApplicationVersion(QStringLiteral("1.2.1"));
    QGuiApplication::setDesktopFileName(QStringLiteral("voralin"));

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
