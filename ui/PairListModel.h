// The results list's model: a virtual table over the catalogue's pair list that keeps only a row count and
// builds the texts of a row when the view draws it. With the similarity filter on, its rows are the shown
// pairs in list order; marked files are drawn struck out.
#pragma once

#include "engine/Catalogue.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <vector>

class ResultMarks;

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

    // Hides the pairs whose shown similarity is below `percent` (0 hides none) among the rows of the last
    // SetRowCount; the rows are then the shown pairs, in list order.
    void SetMinSimilarity(int percent);
    int MinSimilarity() const { return minSimilarity_; }
    bool FilterOn() const;
    // The pair a row stands for (-1 outside the list), and the row of a pair (-1 when it is not shown).
    int PairOfRow(int row) const;
    int RowOfPair(int pair) const;
    // The pairs shown, in list order.
    std::vector<int32_t> ShownPairs() const;
    // Marked files are drawn struck out; the marks are read for as long as the model lives.
    void SetMarks(const ResultMarks* marks);
    void MarksChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Row texts: the full paths of PicIndex1 and PicIndex2 and the similarity as "#,##0". A row beyond the
    // pair list, or a pair whose indices lead nowhere, shows empty texts.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString PathOf(int32_t picIndex) const;
    // With the filter on, the shown pairs among the first `rows`; empty without it.
    std::vector<int32_t> shownAmong(int rows) const;
    QVariant markData(const TPicturePair& pair, int column, int role) const;
    int shownCount() const;

    const Catalogue& cat_;
    const QLocale& locale_;
    int rows_ = 0;                // pairs the list covers, filtered or not
    int minSimilarity_ = 0;
    std::vector<int32_t> shown_;  // with the filter on: the pairs shown, ascending
    const ResultMarks* marks_ = nullptr;
};
