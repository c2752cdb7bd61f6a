// Walks listed folders and records every non-empty picture file of the enabled types in the catalogue.
#pragma once

#include "engine/Catalogue.h"
#include "engine/SearchHost.h"
#include "settings/Settings.h"

#include <QSet>
#include <QString>
#include <QStringList>

class FolderScanner {
public:
    // One scanner serves one search, so folders already walked are remembered across listed folders.
    FolderScanner(Catalogue& catalogue, const TSettings& settings, SearchHost& host);

    // Visits the folder (a delimiter is appended when missing) and, when the host's subfolder switch is on,
    // everything below it.
    void ScanFolder(const QString& folder);

    // Folders never entered (the trash folders); defaults to the platform's trash locations.
    void SetSkippedFolders(const QStringList& canonicalFolders);
    static QStringList DefaultTrashFolders();

private:
    void visit(QString& path);
    Catalogue& cat_;
    const TSettings& settings_;
    SearchHost& host_;
    QSet<QString> walked_;
    QStringList skipped_;
};
