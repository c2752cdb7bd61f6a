// Marks and reference folders.
#include "results/ResultMarks.h"

bool PathIsInFolder(const QString& path, const QString& folder) {
    if (folder.isEmpty())
        return false;
    if (folder.endsWith(QLatin1Char('/')))
        return path.startsWith(folder);
    // A folder given without its delimiter must not take in its longer-named neighbours ("/a/pic" and
    // "/a/pictures").
    return path.startsWith(folder + QLatin1Char('/'));
}

void ReferenceFolders::SetFolders(const QStringList& folders) {
    folders_ = folders;
}

bool ReferenceFolders::Contains(const QString& path) const {
    for (const QString& folder : folders_) {
        if (PathIsInFolder(path, folder))
            return true;
    }
    return false;
}

bool ReferenceFolders::HoldsPicture(const Catalogue& catalogue, int32_t picture) const {
    return !folders_.isEmpty() && Contains(catalogue.PicturePath(picture));
}

void ResultMarks::Clear() {
    marks_.clear();
    count_ = 0;
}

bool ResultMarks::IsMarked(int32_t picture) const {
    return picture >= 0 && static_cast<size_t>(picture) < marks_.size() && marks_[static_cast<size_t>(picture)];
}

bool ResultMarks::Set(const Catalogue& catalogue, const ReferenceFolders& reference, int32_t picture, bool marked) {
    if (picture < 0 || static_cast<size_t>(picture) >= catalogue.Pictures.size())
        return false;
    if (marked == IsMarked(picture))
        return true;
    if (!marked) {
        marks_[static_cast<size_t>(picture)] = 0;
        --count_;
        return true;
    }
    if (catalogue.Pictures[static_cast<size_t>(picture)].Deleted || reference.HoldsPicture(catalogue, picture))
        return false;
    if (marks_.size() <= static_cast<size_t>(picture))
        marks_.resize(catalogue.Pictures.size(), 0);
    marks_[static_cast<size_t>(picture)] = 1;
    ++count_;
    return true;
}

std::vector<int32_t> ResultMarks::Marked() const {
    std::vector<int32_t> marked;
    marked.reserve(static_cast<size_t>(count_));
    for (size_t k = 0; k < marks_.size(); ++k) {
        if (marks_[k])
            marked.push_back(static_cast<int32_t>(k));
    }
    return marked;
}

int32_t ResultMarks::MarkAllInFolder(const Catalogue& catalogue, const ReferenceFolders& reference,
                                     const ResultGroups& groups, const QString& folder) {
    int32_t added = 0;
    for (const int32_t k : groups.AllFiles()) {
        if (IsMarked(k) || !PathIsInFolder(catalogue.PicturePath(k), folder))
            continue;
        if (Set(catalogue, reference, k, true))
            ++added;
    }
    return added;
}

void ResultMarks::InvertGroup(const Catalogue& catalogue, const ReferenceFolders& reference, const PairGroup& group) {
    for (const int32_t k : group.Files)
        Set(catalogue, reference, k, !IsMarked(k));
}
