// "Delete marked" and "Move marked to…": the plan the confirmation names, and the run that acts file by file,
// collects what failed and why, and updates the pair list once at the end.
#pragma once

#include "engine/Catalogue.h"
#include "results/PictureFacts.h"
#include "results/ResultGroups.h"
#include "results/ResultMarks.h"

#include <QString>
#include <cstdint>
#include <vector>

enum class BatchKind { Delete, Move };

struct BatchPlan {
    BatchKind Kind = BatchKind::Delete;
    std::vector<int32_t> Files;            // marked files of the groups, ascending
    int64_t Bytes = 0;                     // their size, each file once however many names it has
    int32_t WholeGroups = 0;               // groups whose every file is marked
    std::vector<int32_t> WholeGroupFiles;  // the files of those groups, ascending
};

// The marked files of the given groups. Reference files are never in a plan. A group counts as whole when
// no file of it would stay: all its files are marked and none lies in a reference folder.
BatchPlan PlanBatch(BatchKind kind, const Catalogue& catalogue, const ResultGroups& groups, const ResultMarks& marks,
                    const ReferenceFolders& reference, const PictureFacts& facts);

// The file operations a batch uses, each returning 0 or the errno of its failure.
class BatchFileOperations {
public:
    virtual ~BatchFileOperations() = default;
    // To the trash when toTrash is set, else for good.
    virtual int Delete(const QString& path, bool toTrash) = 0;
    // Never replaces an existing file.
    virtual int Move(const QString& source, const QString& destination) = 0;
};

// Told of each file done; asked before each file whether to stop.
class BatchProgress {
public:
    virtual ~BatchProgress() = default;
    virtual void Advanced(int32_t done, int32_t total) = 0;
    virtual bool CancelRequested() = 0;
};

struct BatchOptions {
    bool ToTrash = true;               // deletes only
    QString Destination;               // moves only: the folder the files go to
    bool WholeGroupsConfirmed = false; // deletes only: the user agreed to delete every file of a group
};

struct BatchFailure {
    int32_t Picture = -1;
    int ErrorCode = 0;  // errno, 0 when the batch itself declined the file
    QString Reason;
};

struct BatchReport {
    std::vector<int32_t> Done;          // ascending
    std::vector<BatchFailure> Failed;   // in the order tried
    int32_t NotAttempted = 0;           // left when the batch was cancelled
    bool Cancelled = false;
    int64_t BytesDone = 0;              // size of the files done, each file once
};

// Acts on the plan's files in order. A file in a reference folder, a file of a whole group (deletes without
// WholeGroupsConfirmed), and a file that has gone are not acted on and are reported with their reason. Each
// file done is marked deleted, unmarked, and its pairs leave the pair list, as after a single action; a
// failed file keeps its mark and its pairs.
BatchReport RunBatch(const BatchPlan& plan, const BatchOptions& options, Catalogue& catalogue, ResultMarks& marks,
                     const ReferenceFolders& reference, const PictureFacts& facts, BatchFileOperations& operations,
                     BatchProgress* progress);

// The reason texts a report gives.
QString BatchReasonText(const BatchFailure& failure);
