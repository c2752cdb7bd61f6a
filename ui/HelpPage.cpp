#include "ui/HelpPage.h"

#include <QDir>
#include <QFileInfo>

QString FindHelpPage(const QString& programFolder) {
    const QString page = QDir::cleanPath(programFolder + QStringLiteral("/../share/doc/voralin/") +
                                         QLatin1String(kHelpPageName));
    return QFileInfo(page).isFile() ? page : QString();
}
