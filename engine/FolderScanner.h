// Walks listed folders and records every non-empty picture file of the enabled types in the catalogue.
#pragma once

#include "engine/Catalogue.h"
#include "engine/SearchHost.h"
#include "platform/Folders.h"
#include "platform/Trash.h"
#include "settings/Settings.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class FolderScanner {
public:
    // One scanner serves one search, so folders already walked are remembered across listed folders.
    FolderScanner(Catalogue& catalogue, const TSettings& settings, SearchHost& host);

    // Visits the folder (a delimiter is appended when missing) and, when the host's subfolder switch is on,
    // everything below it.
    void ScanFolder(const QString& folder);

    // Full native paths of the files and folders passed over because their names are not in the system's
    // encoding (only those that would have been searched), in walking order.
    const std::vector<QByteArray>& PassedOverNames() const { return passedOver_; }

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
    void visit(QString& path, const QString& canonical);
    void scanType(const QString& path, const FolderListing& listing, size_t typeIndex, bool& folderAdded);
    void notePassedOver(const QString& path, const QByteArray& name);
    QString childCanonical(const QString& parentCanonical, const QString& childPath, ListedType type,
                           const QString& name) const;
    bool isSkipped(const QString& canonical);
    bool markWalked(const QString& canonical, const std::optional<FolderListing>& listing, const QString& path);
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
    std::set<uint64_t> pseudoDevices_;
    std::vector<QByteArray> passedOver_;
};
