// Texts of the groups view, built on demand.
#include "ui/GroupListModel.h"

#include "engine/Formatting.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFont>

namespace {

// Internal id of a group row; a file row holds its group's number + 1.
constexpr quintptr kGroupRow = 0;
constexpr int64_t kNanosecondsPerMillisecond = 1000000;

const char* const kCaptions[TGroupListModel::ColumnCount] = {"File", "Pixels", "Size", "Modified", "Type"};

}  // namespace

TGroupListModel::TGroupListModel(const Catalogue& catalogue, const ResultGroups& groups, ResultMarks& marks,
                                 const ReferenceFolders& reference, const PictureFacts& facts, const QLocale& locale,
                                 QObject* parent)
    : QAbstractItemModel(parent), cat_(catalogue), groups_(groups), marks_(marks), reference_(reference),
      facts_(facts), locale_(locale) {}

void TGroupListModel::Reset() {
    beginResetModel();
    endResetModel();
}

void TGroupListModel::MarksChanged() {
    for (int g = 0; g < rowCount(); ++g) {
        const QModelIndex parent = index(g, 0);
        const int files = rowCount(parent);
        if (files > 0)
            emit dataChanged(index(0, 0, parent), index(files - 1, 0, parent), {Qt::CheckStateRole});
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DisplayRole});
}

QModelIndex TGroupListModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row < static_cast<int>(groups_.size()) ? createIndex(row, column, kGroupRow) : QModelIndex();
    if (parent.internalId() != kGroupRow || parent.row() >= static_cast<int>(groups_.size()))
        return {};
    if (row >= static_cast<int>(groups_[static_cast<size_t>(parent.row())].Files.size()))
        return {};
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex TGroupListModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kGroupRow)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kGroupRow);
}

int TGroupListModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(groups_.size());
    if (parent.internalId() != kGroupRow || parent.column() != 0 || parent.row() >= static_cast<int>(groups_.size()))
        return 0;
    return static_cast<int>(groups_[static_cast<size_t>(parent.row())].Files.size());
}

int TGroupListModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

int32_t TGroupListModel::GroupAt(const QModelIndex& index) const {
    if (!index.isValid())
        return -1;
    const auto g = index.internalId() == kGroupRow ? index.row() : static_cast<int>(index.internalId() - 1);
    return g < static_cast<int>(groups_.size()) ? g : -1;
}

int32_t TGroupListModel::PictureAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == kGroupRow)
        return -1;
    const int32_t g = GroupAt(index);
    if (g < 0)
        return -1;
    const std::vector<int32_t>& files = groups_[static_cast<size_t>(g)].Files;
    return index.row() < static_cast<int>(files.size()) ? files[static_cast<size_t>(index.row())] : -1;
}

QModelIndex TGroupListModel::IndexOfGroup(int32_t group) const {
    return index(group, 0);
}

QVariant TGroupListModel::groupData(int32_t group, int column, int role) const {
    const PairGroup& g = groups_[static_cast<size_t>(group)];
    if (role == Qt::FontRole) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case FileColumn: {
        int marked = 0;
        for (const int32_t k : g.Files)
            marked += marks_.IsMarked(k) ? 1 : 0;
        QString text = QStringLiteral("Group %1: %2 files, %3 % to %4 %")
                           .arg(group + 1)
                           .arg(g.Files.size())
                           .arg(FormatCount(g.MinSimilarity, locale_), FormatCount(g.MaxSimilarity, locale_));
        if (marked > 0)
            text += QStringLiteral(", %1 marked").arg(marked);
        return text;
    }
    case SizeColumn:
        return QStringLiteral("%1 freed").arg(FormatSize(g.FreedBytes, locale_));
    default:
        return {};
    }
}

QVariant TGroupListModel::fileData(int32_t picture, int column, int role) const {
    const TPicInfo& info = cat_.Pictures[static_cast<size_t>(picture)];
    const bool reference = reference_.HoldsPicture(cat_, picture);
    if (role == Qt::CheckStateRole && column == FileColumn)
        return marks_.IsMarked(picture) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::FontRole && column == FileColumn && marks_.IsMarked(picture)) {
        QFont font;
        font.setStrikeOut(true);
        return font;
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case FileColumn:
        return reference ? cat_.PicturePath(picture) + QStringLiteral("  (reference)") : cat_.PicturePath(picture);
    case PixelsColumn:
        return QStringLiteral("%1 × %2").arg(info.Width).arg(info.Height);
    case SizeColumn:
        return FormatSize(info.Size, locale_);
    case ModifiedColumn:
        if (!facts_.Exists(picture))
            return QStringLiteral("gone");
        return QDateTime::fromMSecsSinceEpoch(facts_.Of(cat_, picture).ModifiedNs / kNanosecondsPerMillisecond)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case TypeColumn:
        return QFileInfo(info.FileName).suffix().toUpper();
    default:
        return {};
    }
}

QVariant TGroupListModel::data(const QModelIndex& index, int role) const {
    const int32_t g = GroupAt(index);
    if (g < 0)
        return {};
    if (index.internalId() == kGroupRow)
        return groupData(g, index.column(), role);
    const int32_t picture = PictureAt(index);
    if (picture < 0 || static_cast<size_t>(picture) >= cat_.Pictures.size())
        return {};
    QVariant value = fileData(picture, index.column(), role);
    // Another name of a file of the group: deleting it would free nothing.
    if (role == Qt::DisplayRole && index.column() == FileColumn) {
        for (const int32_t other : groups_[static_cast<size_t>(g)].Files) {
            if (other != picture && facts_.OneFile(cat_, picture, other)) {
                value = value.toString() + QStringLiteral("  (hard link)");
                break;
            }
        }
    }
    return value;
}

bool TGroupListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int32_t picture = PictureAt(index);
    if (role != Qt::CheckStateRole || picture < 0 || index.column() != FileColumn)
        return false;
    const bool marked = value.toInt() == Qt::Checked;
    if (!marks_.Set(cat_, reference_, picture, marked))
        return false;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    const QModelIndex group = index.parent();
    emit dataChanged(group, group, {Qt::DisplayRole});
    emit marksEdited();
    return true;
}

QVariant TGroupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractItemModel::headerData(section, orientation, role);
    return QString::fromLatin1(kCaptions[section]);
}

Qt::ItemFlags TGroupListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int32_t picture = PictureAt(index);
    if (picture < 0)
        return flags;
    flags |= Qt::ItemNeverHasChildren;
    // A reference file shows no check box that could be ticked.
    if (index.column() == FileColumn && !reference_.HoldsPicture(cat_, picture))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}
