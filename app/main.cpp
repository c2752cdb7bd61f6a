// The program's entry: the application object with the general error report, the four windows created once
// in their fixed order, and the message loop.
#include "engine/PictureSupply.h"
#include "platform/BuildInfo.h"
#include "platform/Memory.h"
#include "ui/AboutUnit.h"
#include "ui/CheckUpdatesUnit.h"
#include "ui/MainUnit.h"
#include "ui/QtPlatformServices.h"
#include "ui/SettingsUnit.h"
#include "ui/VoralinApplication.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <cstdio>
#include <cstring>

namespace {

// "--help" and "--version" answer on the terminal without opening a window (or needing a display); any
// other argument is left to Qt, as before.
int AnswerWithoutWindow(const char* argument) {
    if (std::strcmp(argument, "--version") == 0) {
        std::printf("voralin %s\n", BuildInfo::kVersion);
        return 0;
    }
    if (std::strcmp(argument, "--help") == 0) {
        std::printf("usage: voralin [--help | --version]\n\n"
                    "Finds duplicate and visually similar pictures in the folders you list, in a window.\n"
                    "Help > How to use in the program, man voralin, and voralin-cli --help for searches\n"
                    "without a window.\n");
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) {
        if (const int status = AnswerWithoutWindow(argv[1]); status >= 0)
            return status;
    }
    PrepareMemoryForDecoding();
    QtPlatformServices services;
    VoralinApplication app(argc, argv, services);
    QApplication::setApplicationName(QStringLiteral("Voralin"));
    QApplication::setApplicationVersion(QLatin1String(BuildInfo::kVersion));
    // The desktop file names the program to the desktop. A display name would make Qt append " — Voralin" to
    // every dialog's title, and the titles are meant exactly as given.
    QGuiApplication::setDesktopFileName(QStringLiteral("voralin"));
    // The window's searches decode on every core and keep signatures in ~/.cache/Voralin/ between searches.
    PictureSupplyOptions supply;
    supply.UseCache = true;

    TMainForm mainForm(services, supply);
    QApplication::setWindowIcon(mainForm.windowIcon());
    TAboutForm aboutForm(services, &mainForm);
    TSettingsForm settingsForm(mainForm.State().settings, services, &mainForm);
    TUpdateForm updateForm(services, mainForm.State().StartupUpdateCheck, &mainForm);
    mainForm.AttachWindows(&aboutForm, &settingsForm, &updateForm);

    // A window that remembers where it was goes there; otherwise it opens in the middle of the screen.
    const bool placed = mainForm.RememberWindow();
    if (QScreen* screen = QGuiApplication::primaryScreen(); screen && !placed) {
        QRect frame = mainForm.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        mainForm.move(frame.topLeft());
    }
    mainForm.show();
    return QApplication::exec();
}
