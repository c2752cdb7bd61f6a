// Delete and move of picture files without a window: trash and permanent delete, read-only files, moves that
// never replace a file, and the copy that carries a move across file systems.
#include "ui/FakePlatformServices.h"
#include "platform/FileActions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

void SetMode(const QString& path, mode_t mode) {
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// Content that differs from file to file and is larger than one copy block.
QByteArray Content(char seed, int size = 200 * 1024) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 + i / 251);
    return bytes;
}

// Names left in a folder (hidden ones too), so a test can see that no temporary copy stayed behind.
QStringList NamesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

dev_t DeviceOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_dev;
}

}  // namespace

class TestFileActions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void readOnlyStateIsClearedThroughALink();
    void permanentDeleteRemovesTheFile();
    void permanentDeleteOfAReadOnlyFile();
    void permanentDeleteOfAMissingFileGivesItsCode();
    void trashDeleteCanBeRestored();
    void moveDestination_data();
    void moveDestination();
    void moveOnOneFileSystem();
    void moveNeverReplacesAFile_data();
    void moveNeverReplacesAFile();
    void moveIntoAMissingFolder();
    void copyMoveKeepsContentModeAndTime();
    void copyMoveOntoAnExistingNameCopiesNothing();
    void copyMoveThatCannotPlaceItsCopyRemovesIt();
    void copyMoveOfAFolderIsRefused();
    void moveAcrossFileSystems();

private:
    QString Path(const QString& relative) const { return work_->path() + QLatin1Char('/') + relative; }
    // Deletes as the window does, through the desktop's trash.
    FileOpResult Delete(const QString& path, bool toTrash) {
        return DeletePictureFile(path, toTrash, [this](const QString& p) { return services_.MoveToTrash(p); });
    }

    QTemporaryDir dataHome_;
    std::unique_ptr<QTemporaryDir> work_;
    FakePlatformServices services_;
};

void TestFileActions::initTestCase() {
    QVERIFY(dataHome_.isValid());
    // The trash lives under the data folder; tests never touch the user's own.
    qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
}

void TestFileActions::init() {
    services_ = FakePlatformServices();
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
}

void TestFileActions::readOnlyStateIsClearedThroughALink() {
    const QString target = Path(QStringLiteral("pics/a.jpg"));
    WriteFile(target, Content('a'));
    SetMode(target, 0444);
    const QString link = Path(QStringLiteral("link.jpg"));
    QVERIFY(QFile::link(target, link));

    ClearReadOnly(link);
    QCOMPARE(ModeOf(target), mode_t(0644));
    // A writable file is left as it is.
    SetMode(target, 0600);
    ClearReadOnly(target);
    QCOMPARE(ModeOf(target), mode_t(0600));
    // A missing file is no error.
    ClearReadOnly(Path(QStringLiteral("missing.jpg")));
}

void TestFileActions::permanentDeleteRemovesTheFile() {
    const QString file = Path(QStringLiteral("a.jpg"));
    WriteFile(file, Content('a'));
    const FileOpResult result = Delete(file, false);
    QVERIFY(result.ok);
    QCOMPARE(result.errorCode, 0);
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(services_.trashed.isEmpty());
    QVERIFY(!QFileInfo::exists(dataHome_.path() + QStringLiteral("/Trash/files/a.jpg")));
}

void TestFileActions::permanentDeleteOfAReadOnlyFile() {
    const QString file = Path(QStringLiteral("ro.png"));
    WriteFile(file, Content('r'));
    SetMode(file, 0444);
    QVERIFY(Delete(file, false).ok);
    QVERIFY(!QFileInfo::exists(file));
}

void TestFileActions::permanentDeleteOfAMissingFileGivesItsCode() {
    const FileOpResult result = Delete(Path(QStringLiteral("gone.jpg")), false);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorCode, ENOENT);
}

void TestFileActions::trashDeleteCanBeRestored() {
    const QString file = Path(QStringLiteral("holiday/beach.jpg"));
    const QByteArray bytes = Content('t');
    WriteFile(file, bytes);
    SetMode(file, 0444);

    const FileOpResult result = Delete(file, true);
    QVERIFY(result.ok);
    QCOMPARE(services_.trashed, QStringList{file});
    QVERIFY(!QFileInfo::exists(file));

    // The trash holds the file and the record of where it came from, which is what a restore needs.
    const QString trashed = dataHome_.path() + QStringLiteral("/Trash/files/beach.jpg");
    QCOMPARE(ReadFile(trashed), bytes);
    const QByteArray info = ReadFile(dataHome_.path() + QStringLiteral("/Trash/info/beach.jpg.trashinfo"));
    QVERIFY2(info.contains("Path="), info.constData());
    QVERIFY2(info.contains("beach.jpg"), info.constData());
    QVERIFY(QFile::rename(trashed, file));
    QCOMPARE(ReadFile(file), bytes);
}

void TestFileActions::moveDestination_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain folder") << QStringLiteral("/home/u/pics") << QStringLiteral("/home/u/pics/a.jpg");
    QTest::newRow("folder with delimiter") << QStringLiteral("/home/u/pics/") << QStringLiteral("/home/u/pics/a.jpg");
    QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/a.jpg");
}

void TestFileActions::moveDestination() {
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(MoveDestination(folder, QStringLiteral("a.jpg")), expected);
}

void TestFileActions::moveOnOneFileSystem() {
    const QString from = Path(QStringLiteral("a/one.jpg"));
    const QString to = Path(QStringLiteral("b/one.jpg"));
    QDir().mkpath(Path(QStringLiteral("b")));
    WriteFile(from, Content('1'));
    const FileOpResult result = MovePictureFile(from, to);
    QVERIFY(result.ok);
    QVERIFY(!QFileInfo::exists(from));
    QCOMPARE(ReadFile(to), Content('1'));
}

void TestFileActions::moveNeverReplacesAFile_data() {
    QTest::addColumn<bool>("byCopy");
    QTest::addColumn<bool>("danglingLink");
    QTest::newRow("rename onto a file") << false << false;
    QTest::newRow("rename onto a dangling link") << false << true;
    QTest::newRow("copy onto a file") << true << false;
}

void TestFileActions::moveNeverReplacesAFile() {
    QFETCH(bool, byCopy);
    QFETCH(bool, danglingLink);
    const QString from = Path(QStringLiteral("a/same.jpg"));
    const QString to = Path(QStringLiteral("b/same.jpg"));
    WriteFile(from, Content('s'));
    QDir().mkpath(Path(QStringLiteral("b")));
    if (danglingLink)
        QVERIFY(QFile::link(Path(QStringLiteral("nowhere.jpg")), to));
    else
        WriteFile(to, Content('o'));

    const FileOpResult result = byCopy ? MoveFileByCopy(from, to) : MovePictureFile(from, to);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorCode, EEXIST);
    QCOMPARE(ReadFile(from), Content('s'));
    if (danglingLink)
        QVERIFY(QFileInfo(to).isSymLink());
    else
        QCOMPARE(ReadFile(to), Content('o'));
    QCOMPARE(NamesIn(Path(QStringLiteral("b"))), QStringList{QStringLiteral("same.jpg")});
}

void TestFileActions::moveIntoAMissingFolder() {
    const QString from = Path(QStringLiteral("a.jpg"));
    WriteFile(from, Content('m'));
    const FileOpResult result = MovePictureFile(from, Path(QStringLiteral("no/such/folder/a.jpg")));
    QVERIFY(!result.ok);
    QCOMPARE(result.errorCode, ENOENT);
    QCOMPARE(ReadFile(from), Content('m'));
}

void TestFileActions::copyMoveKeepsContentModeAndTime() {
    const QString from = Path(QStringLiteral("a/copy.jpg"));
    const QString to = Path(QStringLiteral("b/copy.jpg"));
    WriteFile(from, Content('c', 300 * 1024 + 17));
    WriteFile(Path(QStringLiteral("b/other.jpg")), "x");
    SetMode(from, 0640);
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1500000000);
    {
        QFile f(from);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
    }

    const FileOpResult result = MoveFileByCopy(from, to);
    QVERIFY(result.ok);
    QVERIFY(!QFileInfo::exists(from));
    QCOMPARE(ReadFile(to), Content('c', 300 * 1024 + 17));
    QCOMPARE(ModeOf(to), mode_t(0640));
    QCOMPARE(QFileInfo(to).lastModified().toSecsSinceEpoch(), stamp.toSecsSinceEpoch());
    QCOMPARE(NamesIn(Path(QStringLiteral("b"))), (QStringList{QStringLiteral("copy.jpg"), QStringLiteral("other.jpg")}));
}

void TestFileActions::copyMoveOntoAnExistingNameCopiesNothing() {
    const QString from = Path(QStringLiteral("a/e.jpg"));
    WriteFile(from, QByteArray());
    WriteFile(Path(QStringLiteral("b/e.jpg")), "kept");
    const FileOpResult result = MoveFileByCopy(from, Path(QStringLiteral("b/e.jpg")));
    QCOMPARE(result.errorCode, EEXIST);
    QCOMPARE(ReadFile(Path(QStringLiteral("b/e.jpg"))), QByteArray("kept"));
    QVERIFY(QFileInfo::exists(from));
}

void TestFileActions::copyMoveThatCannotPlaceItsCopyRemovesIt() {
    // A dangling link passes the first look for an existing name, so the copy is made in full and only the
    // final link refuses: the copy must go and the original stay.
    const QString from = Path(QStringLiteral("a/late.jpg"));
    const QString to = Path(QStringLiteral("b/late.jpg"));
    WriteFile(from, Content('l'));
    QDir().mkpath(Path(QStringLiteral("b")));
    QVERIFY(QFile::link(Path(QStringLiteral("nowhere.jpg")), to));

    const FileOpResult result = MoveFileByCopy(from, to);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorCode, EEXIST);
    QCOMPARE(ReadFile(from), Content('l'));
    QCOMPARE(NamesIn(Path(QStringLiteral("b"))), QStringList{QStringLiteral("late.jpg")});
    QVERIFY(QFileInfo(to).isSymLink());
}

void TestFileActions::copyMoveOfAFolderIsRefused() {
    QDir().mkpath(Path(QStringLiteral("a/folder.jpg")));
    QDir().mkpath(Path(QStringLiteral("b")));
    const FileOpResult result = MoveFileByCopy(Path(QStringLiteral("a/folder.jpg")), Path(QStringLiteral("b/folder.jpg")));
    QVERIFY(!result.ok);
    QVERIFY(QFileInfo(Path(QStringLiteral("a/folder.jpg"))).isDir());
    QVERIFY(NamesIn(Path(QStringLiteral("b"))).isEmpty());
}

void TestFileActions::moveAcrossFileSystems() {
    // /dev/shm is a memory file system on most machines; where it is not a separate one, the copy path is
    // still covered by the tests above.
    const QString shm = QStringLiteral("/dev/shm");
    if (!QFileInfo(shm).isDir() || DeviceOf(shm) == 0 || DeviceOf(shm) == DeviceOf(work_->path()))
        QSKIP("no second file system to move across");
    QTemporaryDir other(shm + QStringLiteral("/voralin-XXXXXX"));
    if (!other.isValid())
        QSKIP("the second file system is not writable");
    const QString from = Path(QStringLiteral("far.jpg"));
    const QString to = other.path() + QStringLiteral("/far.jpg");
    WriteFile(from, Content('f'));

    FileOpResult result = MovePictureFile(from, to);
    QVERIFY(result.ok);
    QVERIFY(!QFileInfo::exists(from));
    QCOMPARE(ReadFile(to), Content('f'));
    QCOMPARE(NamesIn(other.path()), QStringList{QStringLiteral("far.jpg")});

    // And back onto a name that exists: refused, both files intact, nothing left over.
    WriteFile(from, Content('g'));
    result = MovePictureFile(to, from);
    QCOMPARE(result.errorCode, EEXIST);
    QCOMPARE(ReadFile(from), Content('g'));
    QCOMPARE(ReadFile(to), Content('f'));
    QCOMPARE(NamesIn(work_->path()), QStringList{QStringLiteral("far.jpg")});
}

QTEST_GUILESS_MAIN(TestFileActions)
#include "tst_fileactions.moc"
