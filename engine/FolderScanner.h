// Walks listed folders and records every non-empty picture file of the enabled types in the catalogue.
#pragma once

#include "engine/Catalogue.h"
#include "engine/SearchHost.h"
#include "platform/Trash.h"
#include "settings/Settings.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <set>
#include <utility>

class FolderScanner {
public:
    // One scanner serves one search, so folders already walked are remembered across listed folders.
    FolderScanner(Catalogue& catalogue, const TSettings& settings, SearchHost& host);

    // Visits the folder (a delimiter is appended when missing) and, when the host's subfolder switch is on,
    // everything below it.
    void ScanFolder(const QString& folder);

    // Folders never entered instead of the trash folders that the scanner otherwise finds on its own as the
    // walk reaches them (the home trash, and the trash folders at the top of each volume).
    void SetSkippedFolders(const QStringList& canonicalFolders);

    // Whole-name wildcard match ignoring case: '*' any run (dots included), '?' exactly one character.
    static bool MaskMatches(const QString& mask, const QString& name);
    // Listing order of names within one folder: case-insensitive, ties broken case-sensitively.
    static bool NameLess(const QString& a, const QString& b);
    // MS-DOS date (high word) and time (low word) of a moment in local time; 0 outside 1980..2107.
    static int32_t DosDateTime(int64_t secondsSinceEpoch);

private:
    void visit(QString& path);
    void scanType(const QString& path, size_t typeIndex, bool& folderAdded);
    bool isSkipped(const QString& canonical);
    bool markWalked(const QString& canonical, const QString& path);
    bool stopRequested() const;
    bool alreadyRecordedHere(const QString& name) const;
    Catalogue& cat_;
    const TSettings& settings_;
    SearchHost& host_;
    QSet<QString> walked_;
    std::set<std::pair<uint64_t, uint64_t>> walkedIds_;  // device and inode: also catches bind mounts
    QStringList skipped_;
    bool skippedGiven_ = false;
    TrashFolderRule trash_;
    QSet<QString> recordedHere_;  // names recorded in the folder being visited
};
