// Batch plans and runs.
#include "results/BatchActions.h"

#include "platform/FileActions.h"
#include "platform/FileFacts.h"

#include <algorithm>
#include <cerrno>

namespace {

const QString kReasonReference = QStringLiteral("it lies in a reference folder");
const QString kReasonWholeGroup = QStringLiteral("every file of its group is marked; none was deleted");

bool contains(const std::vector<int32_t>& sorted, int32_t k) {
    return std::binary_search(sorted.begin(), sorted.end(), k);
}

}  // namespace

BatchPlan PlanBatch(BatchKind kind, const Catalogue& catalogue, const ResultGroups& groups, const ResultMarks& marks,
                    const ReferenceFolders& reference, const PictureFacts& facts) {
    BatchPlan plan;
    plan.Kind = kind;
    for (const PairGroup& group : groups.Groups()) {
        bool whole = true;
        for (const int32_t k : group.Files) {
            if (marks.IsMarked(k) && !reference.HoldsPicture(catalogue, k))
                plan.Files.push_back(k);
            else
                whole = false;
        }
        if (!whole)
            continue;
        ++plan.WholeGroups;
        plan.WholeGroupFiles.insert(plan.WholeGroupFiles.end(), group.Files.begin(), group.Files.end());
    }
    std::sort(plan.Files.begin(), plan.Files.end());
    std::sort(plan.WholeGroupFiles.begin(), plan.WholeGroupFiles.end());
    plan.Bytes = BytesOfFiles(catalogue, plan.Files, facts);
    return plan;
}

QString BatchReasonText(const BatchFailure& failure) {
    if (!failure.Reason.isEmpty())
        return failure.Reason;
    return qt_error_string(failure.ErrorCode);
}

BatchReport RunBatch(const BatchPlan& plan, const BatchOptions& options, Catalogue& catalogue, ResultMarks& marks,
                     const ReferenceFolders& reference, const PictureFacts& facts, BatchFileOperations& operations,
                     BatchProgress* progress) {
    BatchReport report;
    const auto total = static_cast<int32_t>(plan.Files.size());
    const bool guardGroups = plan.Kind == BatchKind::Delete && !options.WholeGroupsConfirmed;
    std::vector<bool> gone(catalogue.Pictures.size(), false);
    for (int32_t n = 0; n < total; ++n) {
        if (progress && progress->CancelRequested()) {
            report.Cancelled = true;
            report.NotAttempted = total - n;
            break;
        }
        const int32_t k = plan.Files[static_cast<size_t>(n)];
        const QString path = catalogue.PicturePath(k);
        int error = 0;
        QString reason;
        if (reference.HoldsPicture(catalogue, k)) {
            reason = kReasonReference;
        } else if (guardGroups && contains(plan.WholeGroupFiles, k)) {
            reason = kReasonWholeGroup;
        } else if (!ReadFileFacts(path)) {
            error = ENOENT;
        } else if (plan.Kind == BatchKind::Delete) {
            error = operations.Delete(path, options.ToTrash);
        } else {
            error = operations.Move(path, MoveDestination(options.Destination,
                                                         catalogue.Pictures[static_cast<size_t>(k)].FileName));
        }
        if (error == 0 && reason.isEmpty()) {
            report.Done.push_back(k);
            gone[static_cast<size_t>(k)] = true;
        } else {
            report.Failed.push_back({k, error, reason});
        }
        if (progress)
            progress->Advanced(n + 1, total);
    }
    report.BytesDone = BytesOfFiles(catalogue, report.Done, facts);
    for (const int32_t k : report.Done) {
        marks.Set(catalogue, reference, k, false);
        catalogue.Pictures[static_cast<size_t>(k)].Deleted = true;
    }
    if (!report.Done.empty())
        catalogue.RemovePairsOfPictures(gone);
    return report;
}
