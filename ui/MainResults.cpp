// The results list and the comparison pane of the main window. For now the list shows the pair list's three
// columns and the first row can be selected; the pane's refresh, sorting, the file actions and the CSV
// export arrive here later.
#include "ui/MainUnit.h"

#include "engine/Formatting.h"
#include "ui/MainWidgets.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>

// A virtual list over PicturePairs: it keeps only a row count and builds texts for the rows drawn.
class TPairListModel : public QAbstractTableModel {
public:
    TPairListModel(const Catalogue& catalogue, const QLocale& locale, QObject* parent)
        : QAbstractTableModel(parent), cat_(catalogue), locale_(locale) {}

    void SetRowCount(int rows) {
        beginResetModel();
        rows_ = std::max(0, rows);
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_)
            return {};
        const auto row = static_cast<size_t>(index.row());
        // The row count can briefly outlive the pairs (a release at close); such rows stay blank.
        if (row >= cat_.PicturePairs.size() || index.row() > cat_.LastPairIndex)
            return {};
        const TPicturePair& pair = cat_.PicturePairs[row];
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

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const char* const kCaptions[3] = {"Original Image", "Duplicate Image", "Similarity"};
        return section >= 0 && section < 3 ? QString::fromLatin1(kCaptions[section]) : QVariant();
    }

private:
    QString PathOf(int32_t picIndex) const {
        if (picIndex < 0 || static_cast<size_t>(picIndex) >= cat_.Pictures.size())
            return {};
        const TPicInfo& pic = cat_.Pictures[static_cast<size_t>(picIndex)];
        if (pic.PathInd < 0 || static_cast<size_t>(pic.PathInd) >= cat_.FolderPaths.size())
            return {};
        return cat_.PicturePath(picIndex);
    }

    const Catalogue& cat_;
    const QLocale& locale_;
    int rows_ = 0;
};

void TMainForm::SetupResultsList() {
    ListView1Model = new TPairListModel(state_.catalogue, state_.SystemNumberFormat, this);
    ListView1->setModel(ListView1Model);
    ListView1->setShowGrid(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setWordWrap(false);
    ListView1->setTextElideMode(Qt::ElideMiddle);
    ListView1->verticalHeader()->hide();
    ListView1->verticalHeader()->setDefaultSectionSize(S(21));
    ListView1->horizontalHeader()->setHighlightSections(false);
    ListView1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    ListView1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    ListView1->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    ListView1->horizontalHeader()->resizeSection(2, S(100));
}

void TMainForm::ConnectResultsBrowser() {
    connect(ListView1, &QTableView::clicked, this, [this] { ListView1Click(); });
}

int TMainForm::ResultRowCount() const {
    return ListView1Model->rowCount();
}

void TMainForm::BeginResultsUpdate() {
    ListView1Model->SetRowCount(0);
    ListView1->setUpdatesEnabled(false);
}

void TMainForm::SetResultRowCount(int rows) {
    // After a close the pairs are released (or about to be): the list stays empty.
    ListView1Model->SetRowCount(Closed() ? 0 : rows);
}

void TMainForm::EndResultsUpdate() {
    ListView1->setUpdatesEnabled(true);
}

void TMainForm::SelectFirstRowAndShow() {
    if (Closed() || ResultRowCount() < 1)
        return;
    ListView1->selectRow(0);
    ListView1Click();
}

void TMainForm::ListView1Click() {}
void TMainForm::ListView1ColumnClick(int) {}
void TMainForm::ListView1KeyUp(int) {}
void TMainForm::LeftImageClick() {}
void TMainForm::RightImageClick() {}
void TMainForm::SwapImagesButtonClick() {}
void TMainForm::MoveImageButton1Click() {}
void TMainForm::MoveImageButton2Click() {}
void TMainForm::BrowseImageButton1Click() {}
void TMainForm::BrowseImageButton2Click() {}
void TMainForm::DeleteImageButton1Click() {}
void TMainForm::DeleteImageButton2Click() {}
void TMainForm::SavelistofdupliacatestoCSV1Click() {}
