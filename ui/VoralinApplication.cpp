#include "ui/VoralinApplication.h"

#include "ui/ErrorReport.h"

#include <exception>

VoralinApplication::VoralinApplication(int& argc, char** argv, PlatformServices& services)
    : QApplication(argc, argv), services_(services) {}

bool VoralinApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowGeneralError(services_, activeWindow(), QString::fromUtf8(e.what()));
    } catch (...) {
        ShowGeneralError(services_, activeWindow(), QStringLiteral("Unknown error"));
    }
    return false;
}
