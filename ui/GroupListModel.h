// The groups view's model: a virtual tree over the groups (one row per group, one child row per file) that
// builds its texts when the view draws them; file rows carry the marks as check boxes.
#pragma once

#include "engine/Catalogue.h"
#include "results/PictureFacts.h"
#include "results/ResultGroups.h"
#include "results/ResultMarks.h"

#include <QAbstractItemModel>
#include <QLocale>

class TGroupListModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { FileColumn, PixelsColumn, SizeColumn, ModifiedColumn, TypeColumn, ColumnCount };

    // The model reads what it is given for as long as it lives; Reset() after the groups were rebuilt.
    TGroupListModel(const Catalogue& catalogue, const ResultGroups& groups, ResultMarks& marks,
                    const ReferenceFolders& reference, const PictureFacts& facts, const QLocale& locale,
                    QObject* parent = nullptr);

    void Reset();
    // Redraws the check boxes after marks changed elsewhere (keep-rules, the pair list).
    void MarksChanged();
    // The picture of a file row, or -1 for a group row or an invalid index.
    int32_t PictureAt(const QModelIndex& index) const;
    // The group of a row of either kind, or -1.
    int32_t GroupAt(const QModelIndex& index) const;
    QModelIndex IndexOfGroup(int32_t group) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A check box was changed by the user.
    void marksEdited();

private:
    QVariant groupData(int32_t group, int column, int role) const;
    QVariant fileData(int32_t picture, int column, int role) const;

    const Catalogue& cat_;
    const ResultGroups& groups_;
    ResultMarks& marks_;
    const ReferenceFolders& reference_;
    const PictureFacts& facts_;
    const QLocale& locale_;
};
