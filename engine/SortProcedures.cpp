// Comparators of the pair list and the two sort entry points.
#include "engine/SortProcedures.h"

#include <cmath>

namespace {

// A full path seen as its folder part followed by its file name, so comparisons build no new strings.
struct PathView {
    const QChar* folder;
    qsizetype folderLen;
    const QChar* name;
    qsizetype nameLen;

    qsizetype size() const { return folderLen + nameLen; }
    char16_t at(qsizetype i) const { return i < folderLen ? folder[i].unicode() : name[i - folderLen].unicode(); }
};

// Only a-z: the comparison must not depend on the locale or on accented letters.
char16_t foldUnit(char16_t u) {
    return (u >= u'a' && u <= u'z') ? char16_t(u - (u'a' - u'A')) : u;
}

int compareViews(const PathView& s, const PathView& t) {
    const qsizetype n = std::min(s.size(), t.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int d = int(foldUnit(s.at(i))) - int(foldUnit(t.at(i)));
        if (d != 0)
            return d;
    }
    if (s.size() == t.size())
        return 0;
    return s.size() < t.size() ? -1 : 1;
}

PathView viewOf(const TPicList& pictures, const TStringArr& folderPaths, int32_t picIndex) {
    const TPicInfo& p = pictures[static_cast<size_t>(picIndex)];
    const QString& folder = folderPaths[static_cast<size_t>(p.PathInd)];
    return {folder.constData(), folder.size(), p.FileName.constData(), p.FileName.size()};
}

int applyDirection(int result, bool descending) {
    return descending ? -result : result;
}

}  // namespace

int ComparePathText(const QString& s, const QString& t) {
    return compareViews({s.constData(), s.size(), nullptr, 0}, {t.constData(), t.size(), nullptr, 0});
}

int CompareByFirstPath(const TPicList& pictures, const TStringArr& folderPaths, const TPicturePair& a,
                       const TPicturePair& b, bool descending) {
    return applyDirection(compareViews(viewOf(pictures, folderPaths, a.PicIndex1),
                                       viewOf(pictures, folderPaths, b.PicIndex1)),
                          descending);
}

int CompareBySecondPath(const TPicList& pictures, const TStringArr& folderPaths, const TPicturePair& a,
                        const TPicturePair& b, bool descending) {
    return applyDirection(compareViews(viewOf(pictures, folderPaths, a.PicIndex2),
                                       viewOf(pictures, folderPaths, b.PicIndex2)),
                          descending);
}

int CompareBySimilarity(const TPicturePair& a, const TPicturePair& b, bool descending) {
    const bool nanA = std::isnan(a.Similarity);
    const bool nanB = std::isnan(b.Similarity);
    int result = 0;
    if (nanA || nanB)
        result = nanA == nanB ? 0 : (nanA ? -1 : 1);
    else if (a.Similarity > b.Similarity)
        result = 1;
    else if (a.Similarity < b.Similarity)
        result = -1;
    return applyDirection(result, descending);
}

namespace {
template <typename Cmp>
void sortBothPasses(TPicturePairs& pairs, int32_t lo, int32_t hi, Cmp cmp,
                    const std::function<void()>& processMessages) {
    if (hi < lo)
        return;
    QuickSortPass(pairs, lo, hi, cmp);
    if (processMessages)
        processMessages();
    InsertionSortPass(pairs, lo, hi, cmp);
}
}  // namespace

void SortPairsByPath(const TPicList& pictures, TPicturePairs& pairs, const TStringArr& folderPaths, int32_t lo,
                     int32_t hi, TPathComparator compare, bool descending,
                     const std::function<void()>& processMessages) {
    sortBothPasses(
        pairs, lo, hi,
        [&](const TPicturePair& a, const TPicturePair& b) { return compare(pictures, folderPaths, a, b, descending); },
        processMessages);
}

void SortPairsBySimilarity(TPicturePairs& pairs, int32_t lo, int32_t hi, TSimilarityComparator compare,
                           bool descending, const std::function<void()>& processMessages) {
    sortBothPasses(
        pairs, lo, hi, [&](const TPicturePair& a, const TPicturePair& b) { return compare(a, b, descending); },
        processMessages);
}
