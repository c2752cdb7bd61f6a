#include "ui/ErrorReport.h"

QString ErrorReportText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowGeneralError(PlatformServices& services, QWidget* parent, const QString& message) {
    services.ShowMessage(parent, MessageKind::Error, ErrorReportText(message), MessageButtons::Ok,
                         QStringLiteral("Voralin"));
}
