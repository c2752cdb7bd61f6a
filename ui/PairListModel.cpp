// Texts of the results list, built on demand from the pair list.
#include "ui/PairListModel.h"

#include "engine/Formatting.h"

#include <algorithm>

namespace {
const char* const kCaptions[TPairListModel::kColumnCount] = {"Original Image", "Duplicate Image", "Similarity"};
}  // namespace

TPairListModel::TPairListModel(const Catalogue& catalogue, const QLocale& locale, QObject* parent)
    : QAbstractTableModel(parent), cat_(catalogue), locale_(locale) {}

void TPairListModel::SetRowCount(int rows) {
    rows = std::max(0, rows);
    if (rows == rows_) {
        if (rows_ > 0)
            emit dataChanged(index(0, 0), index(rows_ - 1, kColumnCount - 1), {Qt::DisplayRole});
        return;
    }
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

void TPairListModel::RowChanged(int row) {
    if (row < 0 || row >= rows_)
        return;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::DisplayRole});
}

int TPairListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TPairListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TPairListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_)
        return {};
    // The row count can briefly outlive the pairs (the catalogue released at close): such rows stay blank.
    if (index.row() > cat_.LastPairIndex || static_cast<size_t>(index.row()) >= cat_.PicturePairs.size())
        return {};
    const TPicturePair& pair = cat_.PicturePairs[static_cast<size_t>(index.row())];
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

QString TPairListModel::PathOf(int32_t picIndex) const {
    if (picIndex < 0 || static_cast<size_t>(picIndex) >= cat_.Pictures.size())
        return {};
    const TPicInfo& pic = cat_.Pictures[static_cast<size_t>(picIndex)];
    if (pic.PathInd < 0 || static_cast<size_t>(pic.PathInd) >= cat_.FolderPaths.size())
        return {};
    return cat_.PicturePath(picIndex);
}
