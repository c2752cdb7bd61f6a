// Marks on files of the results and the reference folders that no mark and no action may touch.
#pragma once

#include "engine/Catalogue.h"
#include "results/ResultGroups.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// Folders of the folder list flagged "never touch". Their pictures are searched like any other.
class ReferenceFolders {
public:
    // Each folder as the folder list holds it (an absolute path ending with the delimiter).
    void SetFolders(const QStringList& folders);
    const QStringList& Folders() const { return folders_; }
    bool IsEmpty() const { return folders_.isEmpty(); }
    // True when the path lies in one of the folders or below it.
    bool Contains(const QString& path) const;
    bool HoldsPicture(const Catalogue& catalogue, int32_t picture) const;

private:
    QStringList folders_;
};

// The marked files, by picture index. Sorting and switching views leave them alone; a new search clears them.
class ResultMarks {
public:
    void Clear();
    bool IsMarked(int32_t picture) const;
    // Marks or unmarks one file. Marking refuses (false, nothing changes) a file in a reference folder or one
    // already deleted or moved away; unmarking always succeeds.
    bool Set(const Catalogue& catalogue, const ReferenceFolders& reference, int32_t picture, bool marked);
    int32_t Count() const { return count_; }
    // Marked pictures, ascending.
    std::vector<int32_t> Marked() const;

    // Marks every file of the groups that lies in `folder` or below it; returns how many marks were added.
    int32_t MarkAllInFolder(const Catalogue& catalogue, const ReferenceFolders& reference, const ResultGroups& groups,
                            const QString& folder);
    // Marks the unmarked and unmarks the marked files of one group; reference files stay unmarked.
    void InvertGroup(const Catalogue& catalogue, const ReferenceFolders& reference, const PairGroup& group);

private:
    std::vector<uint8_t> marks_;
    int32_t count_ = 0;
};

// True when `path` lies in `folder` (which ends with the delimiter) or below it.
bool PathIsInFolder(const QString& path, const QString& folder);
