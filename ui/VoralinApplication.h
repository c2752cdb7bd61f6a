// The application object: an error that escapes any handler reaches the general error report here, and the
// program goes on.
#pragma once

#include "ui/PlatformServices.h"

#include <QApplication>

class VoralinApplication : public QApplication {
public:
    // The services must outlive the application object.
    VoralinApplication(int& argc, char** argv, PlatformServices& services);

    // Delivers the event; an exception thrown while handling it is shown in the error box (caption
    // "Voralin") and the event counts as not handled. Handlers normally report their own through RunGuarded;
    // this catches what they do not.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    PlatformServices& services_;
};
