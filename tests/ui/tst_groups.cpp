// The groups view and the batch actions through the main window: the Pairs/Groups toggle, marking in either
// view, reference folders, the similarity filter, the keep-rules dialog, one confirmation per batch and its
// summary. Most cases fill the catalogue by hand over real files, so the similarities are chosen; one runs a
// real search.
#include "core/PictureFixtures.h"
#include "engine/CsvWriter.h"
#include "history/RememberedPairs.h"
#include "ui/FakePlatformServices.h"
#include "ui/GroupListModel.h"
#include "ui/KeepRulesDialog.h"
#include "ui/MainUnit.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>
#include <vector>

namespace {

template <typename T> T* Child(const QObject& root, const char* name) {
    T* found = root.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("the main window has no control named %s", name);
    return found;
}

QList<MessageKind> Kinds(const QList<ShownMessage>& messages) {
    QList<MessageKind> kinds;
    for (const ShownMessage& m : messages)
        kinds.append(m.kind);
    return kinds;
}

// Where a screenshot goes when VORALIN_SCREENSHOTS names a folder.
void Shoot(QWidget& widget, const char* name) {
    const QByteArray dir = qgetenv("VORALIN_SCREENSHOTS");
    if (!dir.isEmpty())
        widget.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

class TestGroups : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toggleSwitchesBetweenPairsAndGroups();
    void marksShowInBothViewsAndSurviveSortsAndViewChanges();
    void aNewSearchClearsTheMarks();
    void referenceFolderFilesAreNeverMarkedOrActedOn();
    void deleteMarkedAsksOnceAndSummarises();
    void aBatchDeletesAWholeGroupOnlyAfterItsOwnYes();
    void oneUndoPutsAWholeBatchBack();
    void aWholeGroupIsNotDuplicates();
    void moveMarkedNamesTheFolderAndNeverReplaces();
    void filterHidesWeakPairsInBothViewsAndTheCsv();
    void keepRulesDialogPreviewsAndMarks();

private:
    // Folder "lib" with a.png .. e.png; pairs a-b 100, b-c 90 (one group of three) and d-e 60.
    void makeLibrary();
    QString folder() const { return work_->path() + QStringLiteral("/lib/"); }
    QString path(const QString& name) const { return folder() + name; }
    TGroupListModel* groupsModel() const;
    QModelIndex fileIndex(int group, int file) const;
    void showGroups(bool on);
    bool mark(int group, int file);
    QTableView* list() const { return Child<QTableView>(*w_, "ListView1"); }
    bool struck(int row, int column) const;
    int struckCells() const;
    void answer(std::initializer_list<MessageAnswer> answers) {
        services_.answers.clear();
        for (const MessageAnswer a : answers)
            services_.answers.enqueue(a);
    }
    void click(const char* button) { QTest::mouseClick(Child<QPushButton>(*w_, button), Qt::LeftButton); }

    QTemporaryDir configHome_;
    QTemporaryDir dataHome_;
    std::unique_ptr<QTemporaryDir> work_;
    FakePlatformServices services_;
    std::unique_ptr<TMainForm> w_;
};

void TestGroups::initTestCase() {
    QVERIFY(configHome_.isValid() && dataHome_.isValid());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TestGroups::init() {
    work_ = std::make_unique<QTemporaryDir>();
    services_.messages.clear();
    services_.answers.clear();
    services_.trashed.clear();
    services_.folderChoices.clear();
    services_.onDialog = nullptr;
    w_ = std::make_unique<TMainForm>(services_);
    w_->resize(1200, 800);
    w_->show();
    w_->State().settings.MoveToRecycle = true;
    makeLibrary();
}

void TestGroups::cleanup() {
    w_.reset();
    work_.reset();
}

void TestGroups::makeLibrary() {
    Catalogue& cat = w_->State().catalogue;
    QDir().mkpath(folder());
    cat.FolderPaths = {folder()};
    cat.LastPathIndex = 0;
    cat.PathCapacity = 1;
    int seed = 0;
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"}) {
        const QString file = path(QString::fromLatin1(name));
        fixtures::WriteImage(file, fixtures::MakeNaturalPicture(120 + 10 * seed, 100, static_cast<uint32_t>(seed + 1)),
                             "png");
        ++seed;
        TPicInfo info;
        info.FileName = QString::fromLatin1(name);
        info.Width = 110 + 10 * seed;
        info.Height = 100;
        info.Size = QFileInfo(file).size();
        cat.Pictures.push_back(info);
    }
    cat.LastPicIndex = 4;
    cat.PicCapacity = 5;
    cat.PicturePairs = {{0, 1, 100}, {1, 2, 90}, {3, 4, 60}};
    cat.LastPairIndex = 2;
    cat.PairCapacity = 3;
    w_->SetResultRowCount(cat.PairCapacity);
    list()->selectRow(0);
    w_->ListView1Click();
}

TGroupListModel* TestGroups::groupsModel() const {
    return qobject_cast<TGroupListModel*>(Child<QTreeView>(*w_, "GroupsView")->model());
}

QModelIndex TestGroups::fileIndex(int group, int file) const {
    TGroupListModel* model = groupsModel();
    return model->index(file, 0, model->index(group, 0));
}

void TestGroups::showGroups(bool on) {
    QTest::mouseClick(Child<QToolButton>(*w_, on ? "GroupsViewButton" : "PairsViewButton"), Qt::LeftButton);
}

// Ticks a file's check box the way the view does.
bool TestGroups::mark(int group, int file) {
    return groupsModel()->setData(fileIndex(group, file), Qt::Checked, Qt::CheckStateRole);
}

bool TestGroups::struck(int row, int column) const {
    return list()->model()->index(row, column).data(Qt::FontRole).value<QFont>().strikeOut();
}

int TestGroups::struckCells() const {
    int cells = 0;
    for (int row = 0; row < list()->model()->rowCount(); ++row)
        cells += (struck(row, 0) ? 1 : 0) + (struck(row, 1) ? 1 : 0);
    return cells;
}

void TestGroups::toggleSwitchesBetweenPairsAndGroups() {
    auto* groups = Child<QTreeView>(*w_, "GroupsView");
    auto* action = Child<QAction>(*w_, "ShowGroups1");
    QVERIFY(list()->isVisible());
    QVERIFY(!groups->isVisible());
    showGroups(true);
    QVERIFY(groups->isVisible());
    QVERIFY(!list()->isVisible());
    QVERIFY(action->isChecked());
    QCOMPARE(groupsModel()->rowCount(), 2);
    QCOMPARE(groupsModel()->rowCount(groupsModel()->index(0, 0)), 3);
    QCOMPARE(groupsModel()->rowCount(groupsModel()->index(1, 0)), 2);
    QCOMPARE(fileIndex(0, 2).data().toString(), path("c.png"));
    QCOMPARE(groupsModel()->index(0, TGroupListModel::PixelsColumn, groupsModel()->index(0, 0)).data().toString(),
             QStringLiteral("120 × 100"));
    QCOMPARE(groupsModel()->index(0, TGroupListModel::TypeColumn, groupsModel()->index(0, 0)).data().toString(),
             QStringLiteral("PNG"));

    // The menu item switches back, and the panel's buttons follow it.
    action->trigger();
    QVERIFY(list()->isVisible());
    QVERIFY(!groups->isVisible());
    QVERIFY(Child<QToolButton>(*w_, "PairsViewButton")->isChecked());
    QVERIFY(!Child<QToolButton>(*w_, "GroupsViewButton")->isChecked());

    // Choosing c shows it in the pane beside the group's kept file a, through the pair b-c that holds it.
    action->trigger();
    groups->setCurrentIndex(fileIndex(0, 2));
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
    QCOMPARE(Child<QLabel>(*w_, "PercentLabel")->text(), QStringLiteral("90%"));
    // With a kept file it pairs with directly, that pair is shown: d in the group of d and e.
    groups->setCurrentIndex(fileIndex(1, 1));
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 2);
}

void TestGroups::marksShowInBothViewsAndSurviveSortsAndViewChanges() {
    showGroups(true);
    QVERIFY(mark(0, 1));  // b
    QCOMPARE(fileIndex(0, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(fileIndex(0, 0).data(Qt::CheckStateRole).toInt() == Qt::Unchecked);
    showGroups(false);
    QVERIFY(struck(0, 1));  // b in a-b
    QVERIFY(!struck(0, 0));
    QVERIFY(struck(1, 0));  // b in b-c
    QVERIFY(!struck(2, 0) && !struck(2, 1));

    w_->ListView1ColumnClick(2);  // similarity ascending: d-e, b-c, a-b
    QVERIFY(struck(1, 0));
    QVERIFY(struck(2, 1));
    QVERIFY(!struck(0, 0));
    showGroups(true);
    showGroups(false);
    showGroups(true);
    // The groups follow the new list order: d-e first, and b is still marked.
    QCOMPARE(groupsModel()->PictureAt(fileIndex(1, 1)), 1);
    QCOMPARE(fileIndex(1, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // From the pair list: the selected row's duplicate image (e of d-e) is marked and unmarked again.
    showGroups(false);
    list()->selectRow(0);
    Child<QAction>(*w_, "MarkDuplicate1")->trigger();
    QVERIFY(struck(0, 1));
    Child<QAction>(*w_, "MarkDuplicate1")->trigger();
    QVERIFY(!struck(0, 1));

    click("UnmarkAllButton");
    QVERIFY(!struck(1, 0));
    QVERIFY(!struck(2, 1));
}

void TestGroups::aNewSearchClearsTheMarks() {
    // Byte copies of two pictures, found by a real search.
    const QString tree = work_->path() + QStringLiteral("/search/");
    QDir().mkpath(tree);
    for (const char* name : {"m", "k"}) {
        const QString first = tree + QLatin1String(name) + QStringLiteral("1.png");
        fixtures::WriteImage(first, fixtures::MakeNaturalPicture(200, 160, name[0]), "png");
        QVERIFY(QFile::copy(first, tree + QLatin1String(name) + QStringLiteral("2.png")));
    }
    w_->FormDropFiles({tree});
    w_->StartButtonClick();
    QCOMPARE(w_->ResultRowCount(), 2);
    showGroups(true);
    QCOMPARE(groupsModel()->rowCount(), 2);
    QVERIFY(mark(0, 0));
    QVERIFY(mark(1, 1));
    showGroups(false);
    QCOMPARE(struckCells(), 2);

    w_->StartButtonClick();
    QCOMPARE(w_->ResultRowCount(), 2);
    QCOMPARE(struckCells(), 0);
    showGroups(true);
    QCOMPARE(fileIndex(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    services_.messages.clear();
    click("DeleteMarkedButton");
    QCOMPARE(services_.lastText(), QStringLiteral("No file of the pairs shown is marked."));
}

void TestGroups::referenceFolderFilesAreNeverMarkedOrActedOn() {
    auto* folders = Child<QListWidget>(*w_, "DirectoriesListBox");
    w_->FormDropFiles({folder()});
    folders->setCurrentRow(0);
    Child<QAction>(*w_, "ReferenceFolder1")->trigger();
    QVERIFY(folders->item(0)->font().italic());
    QVERIFY(!folders->item(0)->icon().isNull());
    QVERIFY(Child<QAction>(*w_, "ReferenceFolder1")->isChecked());
    QCOMPARE(folders->item(0)->text(), folder());  // the search still reads the same entry

    // No check box, and no mark by hand from either view.
    showGroups(true);
    QVERIFY(!(groupsModel()->flags(fileIndex(0, 0)) & Qt::ItemIsUserCheckable));
    QVERIFY(!mark(0, 0));
    showGroups(false);
    list()->selectRow(0);
    Child<QAction>(*w_, "MarkOriginal1")->trigger();
    QVERIFY(!struck(0, 0));
    QCOMPARE(services_.lastText(), QStringLiteral("a.png lies in a reference folder and cannot be marked."));

    // Nor do the single delete and move of the pane touch it.
    w_->State().settings.DeleteWithoutAsking = true;
    services_.messages.clear();
    w_->DeleteImageButton1Click();
    w_->MoveImageButton2Click();
    QCOMPARE(Kinds(services_.messages), (QList<MessageKind>{MessageKind::Error, MessageKind::Error}));
    QCOMPARE(services_.messages[0].text, QStringLiteral("Cannot delete file a.png\n\rIt lies in a reference folder."));
    QCOMPARE(services_.messages[1].text, QStringLiteral("Cannot move file b.png\n\rIt lies in a reference folder."));
    QVERIFY(QFileInfo::exists(path("a.png")) && QFileInfo::exists(path("b.png")));
    QCOMPARE(w_->State().catalogue.PairCapacity, 3);

    // A mark made before the folder became one is taken back, and the keep-rules leave every file alone.
    folders->setCurrentRow(0);
    Child<QAction>(*w_, "ReferenceFolder1")->trigger();
    QVERIFY(!folders->item(0)->font().italic());
    showGroups(true);
    QVERIFY(mark(1, 0));
    Child<QAction>(*w_, "ReferenceFolder1")->trigger();
    QCOMPARE(fileIndex(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    services_.onDialog = [](QDialog&) { return int(QDialog::Accepted); };
    click("MarkDuplicatesButton");
    for (int g = 0; g < groupsModel()->rowCount(); ++g)
        for (int f = 0; f < groupsModel()->rowCount(groupsModel()->index(g, 0)); ++f)
            QCOMPARE(fileIndex(g, f).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    // Removing the entry ends the protection.
    w_->RemoveFolderButtonClick();
    QVERIFY(mark(1, 0));
}

void TestGroups::deleteMarkedAsksOnceAndSummarises() {
    showGroups(true);
    QVERIFY(mark(0, 1));  // b
    QVERIFY(mark(0, 2));  // c
    QFile::remove(path("c.png"));  // gone since the search: reported, not fatal
    services_.messages.clear();
    click("DeleteMarkedButton");

    QCOMPARE(Kinds(services_.messages), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Information}));
    QVERIFY(services_.messages[0].text.startsWith(QStringLiteral("Move the 2 marked files (")));
    QVERIFY(services_.messages[0].text.endsWith(QStringLiteral(") to the trash?")));
    QVERIFY(services_.messages[1].text.startsWith(QStringLiteral("Deleted 1 file (")));
    QVERIFY(services_.messages[1].text.contains(QStringLiteral("c.png: ") + qt_error_string(ENOENT)));
    QCOMPARE(services_.trashed, QStringList{path("b.png")});
    QVERIFY(!QFileInfo::exists(path("b.png")));
    // As after a single delete: b's pairs left the list, the list, the groups and the pane follow.
    QCOMPARE(w_->State().catalogue.PicturePairs, (TPicturePairs{{3, 4, 60}}));
    QVERIFY(w_->State().catalogue.Pictures[1].Deleted);
    QVERIFY(!w_->State().catalogue.Pictures[2].Deleted);
    QCOMPARE(list()->model()->rowCount(), 1);
    QCOMPARE(groupsModel()->rowCount(), 1);
    QCOMPARE(Child<QLabel>(*w_, "PercentLabel")->text(), QStringLiteral("60%"));

    // No to the confirmation does nothing at all.
    QVERIFY(mark(0, 0));  // d
    services_.messages.clear();
    answer({MessageAnswer::No});
    click("DeleteMarkedButton");
    QCOMPARE(services_.messages.size(), 1);
    QVERIFY(services_.trashed.size() == 1);
    QVERIFY(QFileInfo::exists(path("d.png")));
    QCOMPARE(w_->State().catalogue.PairCapacity, 1);
}

void TestGroups::oneUndoPutsAWholeBatchBack() {
    const TPicturePairs before = w_->State().catalogue.PicturePairs;
    const QByteArray b = fixtures::ReadBytes(path("b.png"));
    showGroups(true);
    QVERIFY(mark(0, 1));  // b
    QVERIFY(mark(1, 1));  // e
    click("DeleteMarkedButton");
    QVERIFY(!QFileInfo::exists(path("b.png")) && !QFileInfo::exists(path("e.png")));
    QCOMPARE(w_->State().catalogue.PairCapacity, 0);

    services_.messages.clear();
    w_->findChild<QAction*>(QStringLiteral("Undo1"))->trigger();
    QCOMPARE(Kinds(services_.messages), QList<MessageKind>{MessageKind::Information});
    QCOMPARE(services_.lastText(), QStringLiteral("Restored 2 files:") + kMessageLineBreak + path("b.png") +
                                       kMessageLineBreak + path("e.png"));
    QCOMPARE(fixtures::ReadBytes(path("b.png")), b);
    QVERIFY(QFileInfo::exists(path("e.png")));
    QCOMPARE(w_->State().catalogue.PicturePairs, before);
    QCOMPARE(groupsModel()->rowCount(), 2);
}

// "Not duplicates" on a group remembers each of its pairs and takes them all out of both views.
void TestGroups::aWholeGroupIsNotDuplicates() {
    QTemporaryDir memory;
    const QString file = memory.filePath(QStringLiteral("not-duplicates"));
    w_->State().Remembered = std::make_unique<RememberedPairs>(file);
    showGroups(true);
    Child<QTreeView>(*w_, "GroupsView")->setCurrentIndex(fileIndex(0, 1));
    services_.messages.clear();
    w_->findChild<QAction*>(QStringLiteral("GroupNotDuplicates1"))->trigger();
    QVERIFY(services_.messages.isEmpty());
    QCOMPARE(w_->State().catalogue.PicturePairs, (TPicturePairs{{3, 4, 60}}));
    QCOMPARE(groupsModel()->rowCount(), 1);
    QCOMPARE(RememberedPairs(file).Count(), size_t{2});
    QVERIFY(QFileInfo::exists(path("a.png")) && QFileInfo::exists(path("b.png")) && QFileInfo::exists(path("c.png")));
}

void TestGroups::aBatchDeletesAWholeGroupOnlyAfterItsOwnYes() {
    showGroups(true);
    QVERIFY(mark(1, 0));
    QVERIFY(mark(1, 1));
    services_.messages.clear();
    answer({MessageAnswer::Yes, MessageAnswer::No});
    click("DeleteMarkedButton");
    QCOMPARE(Kinds(services_.messages), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Confirmation,
                                                            MessageKind::Information}));
    QVERIFY(services_.messages[1].text.startsWith(QStringLiteral("In 1 group every file is marked.")));
    QVERIFY(services_.messages[2].text.startsWith(QStringLiteral("Deleted 0 files (0 B).")));
    QVERIFY(services_.messages[2].text.contains(QStringLiteral("d.png: every file of its group is marked")));
    QVERIFY(QFileInfo::exists(path("d.png")) && QFileInfo::exists(path("e.png")));
    QCOMPARE(w_->State().catalogue.PairCapacity, 3);

    // With the explicit Yes the group goes.
    services_.messages.clear();
    answer({MessageAnswer::Yes, MessageAnswer::Yes});
    click("DeleteMarkedButton");
    QVERIFY(services_.messages.last().text.startsWith(QStringLiteral("Deleted 2 files (")));
    QVERIFY(!QFileInfo::exists(path("d.png")) && !QFileInfo::exists(path("e.png")));
    QCOMPARE(w_->State().catalogue.PairCapacity, 2);
}

void TestGroups::moveMarkedNamesTheFolderAndNeverReplaces() {
    const QString target = work_->path() + QStringLiteral("/target");
    QDir().mkpath(target);
    fixtures::WriteBytes(target + QStringLiteral("/c.png"), "taken");
    showGroups(true);
    QVERIFY(mark(0, 1));  // b
    QVERIFY(mark(0, 2));  // c, whose name is taken in the target
    services_.messages.clear();
    // Cancelling the folder choice asks nothing.
    click("MoveMarkedButton");
    QVERIFY(services_.messages.isEmpty());

    services_.folderChoices.enqueue({true, target});
    click("MoveMarkedButton");
    QCOMPARE(Kinds(services_.messages), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Information}));
    QVERIFY(services_.messages[0].text.startsWith(QStringLiteral("Move the 2 marked files (")));
    QVERIFY(services_.messages[0].text.endsWith(QStringLiteral(") to\n\r") + target + QStringLiteral("?")));
    QVERIFY(services_.messages[1].text.startsWith(QStringLiteral("Moved 1 file (")));
    QVERIFY(services_.messages[1].text.contains(QStringLiteral("c.png: ") + qt_error_string(EEXIST)));
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/b.png")));
    QVERIFY(!QFileInfo::exists(path("b.png")));
    QCOMPARE(fixtures::ReadBytes(target + QStringLiteral("/c.png")), QByteArray("taken"));
    QVERIFY(QFileInfo::exists(path("c.png")));
    QCOMPARE(w_->State().catalogue.PicturePairs, (TPicturePairs{{3, 4, 60}}));
}

void TestGroups::filterHidesWeakPairsInBothViewsAndTheCsv() {
    auto* spin = Child<QSpinBox>(*w_, "MinSimilaritySpinBox");
    list()->selectRow(1);
    w_->ListView1Click();
    spin->setValue(90);
    QCOMPARE(list()->model()->rowCount(), 2);
    // The selection stays on its pair.
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
    showGroups(true);
    QCOMPARE(groupsModel()->rowCount(), 1);
    showGroups(false);

    spin->setValue(95);
    QCOMPARE(list()->model()->rowCount(), 1);
    // The pair b-c went out of sight: the last row is selected and shown.
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 0);
    QCOMPARE(Child<QLabel>(*w_, "PercentLabel")->text(), QStringLiteral("100%"));

    spin->setValue(90);
    const QString csvPath = work_->path() + QStringLiteral("/shown.csv");
    services_.saveChoices.enqueue({true, csvPath});
    w_->SavelistofdupliacatestoCSV1Click();
    QCOMPARE(services_.lastSaveTitle,
             QStringLiteral("Save your list of Duplicates to CSV file (only the pairs shown: at least 90 %)"));
    const QLocale& locale = w_->State().SystemNumberFormat;
    QCOMPARE(fixtures::ReadBytes(csvPath), PairListCsv(w_->State().catalogue, locale, {0, 1}));

    // A single delete under the filter acts on the pair of the row, not on the pair of that number.
    w_->State().settings.DeleteWithoutAsking = true;
    w_->State().catalogue.PicturePairs = {{3, 4, 60}, {0, 1, 100}, {1, 2, 90}};
    w_->SetResultRowCount(3);
    list()->selectRow(0);
    w_->DeleteImageButton1Click();  // a, of a-b
    QVERIFY(!QFileInfo::exists(path("a.png")));
    QCOMPARE(w_->State().catalogue.PicturePairs, (TPicturePairs{{3, 4, 60}, {1, 2, 90}}));
    QCOMPARE(list()->model()->rowCount(), 1);

    spin->setValue(0);
    QCOMPARE(list()->model()->rowCount(), 2);
    services_.saveChoices.enqueue({true, csvPath});
    answer({MessageAnswer::Yes});
    w_->SavelistofdupliacatestoCSV1Click();
    QCOMPARE(services_.lastSaveTitle, QStringLiteral("Save your list of Duplicates to CSV file"));
    QCOMPARE(fixtures::ReadBytes(csvPath), PairListCsv(w_->State().catalogue, locale));
}

void TestGroups::keepRulesDialogPreviewsAndMarks() {
    QString preview;
    bool seen = false;
    services_.onDialog = [&](QDialog& dialog) {
        auto* rules = qobject_cast<TKeepRulesDialog*>(&dialog);
        seen = rules != nullptr;
        if (!rules)
            return int(QDialog::Rejected);
        preview = rules->PreviewText();
        rules->resize(rules->sizeHint());
        Shoot(*rules, "keep-rules-dialog.png");
        return int(QDialog::Accepted);
    };
    click("MarkDuplicatesButton");
    QVERIFY(seen);
    // Most pixels first: c (140) kept of a, b, c; e (160) kept of d, e.
    QVERIFY2(preview.startsWith(QStringLiteral("3 files will be marked")), qPrintable(preview));
    showGroups(true);
    const std::vector<int> expected = {Qt::Checked, Qt::Checked, Qt::Unchecked, Qt::Checked, Qt::Unchecked};
    std::vector<int> marks;
    for (int g = 0; g < groupsModel()->rowCount(); ++g)
        for (int f = 0; f < groupsModel()->rowCount(groupsModel()->index(g, 0)); ++f)
            marks.push_back(fileIndex(g, f).data(Qt::CheckStateRole).toInt());
    QCOMPARE(marks, expected);
    Child<QTreeView>(*w_, "GroupsView")->setCurrentIndex(fileIndex(0, 1));
    QCoreApplication::processEvents();
    Shoot(*w_, "groups-view.png");

    // Invert within the group turns a and b off and c on; a cancelled dialog changes nothing.
    Child<QAction>(*w_, "InvertGroupMarks1")->trigger();
    QCOMPARE(fileIndex(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(fileIndex(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    services_.onDialog = [](QDialog&) { return int(QDialog::Rejected); };
    click("MarkDuplicatesButton");
    QCOMPARE(fileIndex(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    // Mark all in the chosen file's folder takes in every file of the groups there.
    Child<QAction>(*w_, "MarkAllInFolder1")->trigger();
    for (int f = 0; f < 3; ++f)
        QCOMPARE(fileIndex(0, f).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

QTEST_MAIN(TestGroups)
#include "tst_groups.moc"
