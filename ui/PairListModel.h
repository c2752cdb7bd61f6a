// The results list's model: a virtual table over the catalogue's pair list that keeps only a row count and
// builds the texts of a row when the view draws it.
#pragma once

#include "engine/Catalogue.h"

#include <QAbstractTableModel>
#include <QLocale>

class TPairListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 3;

    // The model reads the catalogue and the locale it is given for as long as it lives.
    TPairListModel(const Catalogue& catalogue, const QLocale& locale, QObject* parent = nullptr);

    // The row count the list shows (negative counts as 0). A new count resets the model, which clears the
    // view's selection; the same count again only redraws every row, so the selection keeps its position,
    // as after a sort.
    void SetRowCount(int rows);
    // Redraws one row after its pair changed in place (a swap).
    void RowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Row texts: the full paths of PicIndex1 and PicIndex2 and the similarity as "#,##0". A row beyond the
    // pair list, or a pair whose indices lead nowhere, shows empty texts.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString PathOf(int32_t picIndex) const;

    const Catalogue& cat_;
    const QLocale& locale_;
    int rows_ = 0;
};
