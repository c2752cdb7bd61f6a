// Texts of the results list, built on demand from the pair list.
#include "ui/PairListModel.h"

#include "engine/Formatting.h"
#include "results/PairFilter.h"
#include "results/ResultMarks.h"

#include <QColor>
#include <QFont>
#include <algorithm>

namespace {
// Marked files: struck out and in this red, so that they stand out in a list of plain paths.
const QColor kMarkedText(170, 20, 20);
const char* const kCaptions[TPairListModel::kColumnCount] = {"Original Image", "Duplicate Image", "Similarity"};
}  // namespace

TPairListModel::TPairListModel(const Catalogue& catalogue, const QLocale& locale, QObject* parent)
    : QAbstractTableModel(parent), cat_(catalogue), locale_(locale) {}

void TPairListModel::SetRowCount(int rows) {
    rows = std::max(0, rows);
    const int before = shownCount();
    std::vector<int32_t> shown = shownAmong(rows);
    const int after = FilterOn() ? static_cast<int>(shown.size()) : rows;
    if (after == before) {
        rows_ = rows;
        shown_ = std::move(shown);
        if (after > 0)
            emit dataChanged(index(0, 0), index(after - 1, kColumnCount - 1), {Qt::DisplayRole});
        return;
    }
    beginResetModel();
    rows_ = rows;
    shown_ = std::move(shown);
    endResetModel();
}

void TPairListModel::SetMinSimilarity(int percent) {
    percent = std::max(kNoSimilarityFilter, percent);
    if (percent == minSimilarity_)
        return;
    beginResetModel();
    minSimilarity_ = percent;
    shown_ = shownAmong(rows_);
    endResetModel();
}

bool TPairListModel::FilterOn() const {
    return minSimilarity_ > kNoSimilarityFilter;
}

std::vector<int32_t> TPairListModel::shownAmong(int rows) const {
    std::vector<int32_t> shown;
    if (!FilterOn())
        return shown;
    const auto pairs = std::min<size_t>({static_cast<size_t>(rows),
                                         static_cast<size_t>(std::max(0, cat_.LastPairIndex + 1)),
                                         cat_.PicturePairs.size()});
    for (size_t i = 0; i < pairs; ++i) {
        if (PairShown(cat_.PicturePairs[i], minSimilarity_))
            shown.push_back(static_cast<int32_t>(i));
    }
    return shown;
}

int TPairListModel::shownCount() const {
    return FilterOn() ? static_cast<int>(shown_.size()) : rows_;
}

int TPairListModel::PairOfRow(int row) const {
    if (row < 0 || row >= shownCount())
        return -1;
    return FilterOn() ? shown_[static_cast<size_t>(row)] : row;
}

int TPairListModel::RowOfPair(int pair) const {
    if (pair < 0 || pair >= rows_)
        return -1;
    if (!FilterOn())
        return pair;
    const auto at = std::lower_bound(shown_.begin(), shown_.end(), pair);
    return at != shown_.end() && *at == pair ? static_cast<int>(at - shown_.begin()) : -1;
}

std::vector<int32_t> TPairListModel::ShownPairs() const {
    // Rows that outlive their pairs (the list not yet told of a change) stand for nothing.
    const int32_t pairs = std::min<int32_t>(cat_.LastPairIndex + 1, static_cast<int32_t>(cat_.PicturePairs.size()));
    std::vector<int32_t> shown;
    if (FilterOn()) {
        for (const int32_t p : shown_) {
            if (p < pairs)
                shown.push_back(p);
        }
        return shown;
    }
    for (int32_t i = 0; i < std::min(rows_, pairs); ++i)
        shown.push_back(i);
    return shown;
}

void TPairListModel::SetMarks(const ResultMarks* marks) {
    marks_ = marks;
}

void TPairListModel::MarksChanged() {
    if (shownCount() > 0)
        emit dataChanged(index(0, 0), index(shownCount() - 1, 1), {Qt::FontRole, Qt::ForegroundRole});
}

void TPairListModel::RowChanged(int row) {
    if (row < 0 || row >= shownCount())
        return;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::DisplayRole});
}

int TPairListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownCount();
}

int TPairListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TPairListModel::data(const QModelIndex& index, int role) const {
    const bool markRole = role == Qt::FontRole || role == Qt::ForegroundRole;
    // A path cut at its end shows whole under the pointer.
    const bool pathTip = role == Qt::ToolTipRole && index.column() < 2;
    if ((role != Qt::DisplayRole && !markRole && !pathTip) || !index.isValid())
        return {};
    const int p = PairOfRow(index.row());
    // The row count can briefly outlive the pairs (the catalogue released at close): such rows stay blank.
    if (p < 0 || p > cat_.LastPairIndex || static_cast<size_t>(p) >= cat_.PicturePairs.size())
        return {};
    const TPicturePair& pair = cat_.PicturePairs[static_cast<size_t>(p)];
    if (markRole)
        return markData(pair, index.column(), role);
    switch (index.column()) {
    case 0:
        return PathOf(pair.PicIndex1);
    case 1:
        return PathOf(pair.PicIndex2);
    case 2:
        return FormatCount(pair.Similarity, locale_);
    default:
        return {};
    }
}

QVariant TPairListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= kColumnCount)
        return {};
    return QString::fromLatin1(kCaptions[section]);
}

Qt::ItemFlags TPairListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Selectable rows, never editable cells.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant TPairListModel::markData(const TPicturePair& pair, int column, int role) const {
    if (!marks_ || marks_->Count() == 0 || column > 1)
        return {};
    if (!marks_->IsMarked(column == 0 ? pair.PicIndex1 : pair.PicIndex2))
        return {};
    if (role == Qt::ForegroundRole)
        return kMarkedText;
    QFont font;
    font.setStrikeOut(true);
    return font;
}

QString TPairListModel::PathOf(int32_t picIndex) const {
    if (picIndex < 0 || static_cast<size_t>(picIndex) >= cat_.Pictures.size())
        return {};
    const TPicInfo& pic = cat_.Pictures[static_cast<size_t>(picIndex)];
    if (pic.PathInd < 0 || static_cast<size_t>(pic.PathInd) >= cat_.FolderPaths.size())
        return {};
    return cat_.PicturePath(picIndex);
}
