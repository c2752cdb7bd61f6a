// The general error report: an error escaping a command handler is shown in a box titled "Voralin" and the
// program goes on.
#pragma once

#include "ui/PlatformServices.h"

#include <QString>
#include <exception>
#include <utility>

class QWidget;

// The message with a full stop added when its last character sorts after "." (so "x" gets one, "x." and
// "x!" do not).
QString ErrorReportText(const QString& message);

// Shows the error box: caption "Voralin", error icon, OK.
void ShowGeneralError(PlatformServices& services, QWidget* parent, const QString& message);

// Runs a handler body; an exception that escapes it is reported and the handler is abandoned there.
template <typename F> void RunGuarded(PlatformServices& services, QWidget* parent, F&& body) {
    try {
        std::forward<F>(body)();
    } catch (const std::exception& e) {
        ShowGeneralError(services, parent, QString::fromUtf8(e.what()));
    }
}
