// Writes and file actions on a full disk: the CSV list, the settings file and a move across file systems
// must each fail with their message and leave every old file as it was, with no half-written file behind.
// The full disk is a small memory file system where this process may mount one, and a file-size limit
// (which binds root too) everywhere.
#include "engine/CsvWriter.h"
#include "settings/SettingsStore.h"
#include "platform/FileActions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr int kDiskBytes = 64 * 1024;  // the small file system's whole size

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList NamesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name | QDir::IgnoreCase);
}

// A memory file system of kDiskBytes mounted on a temporary folder, then filled to the last byte except
// for the files a test puts there first. Unmounted when it goes.
class FullDisk {
public:
    FullDisk()
    {
        if (!folder_.isValid())
            return;
        const QByteArray options = "size=" + QByteArray::number(kDiskBytes);
        mounted_ = ::mount("tmpfs", QFile::encodeName(folder_.path()).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~FullDisk()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    QString Path(const QString& name) const { return folder_.path() + QLatin1Char('/') + name; }
    QString Folder() const { return folder_.path() + QLatin1Char('/'); }
    // Takes every byte that is left.
    void Fill()
    {
        QFile filler(Path(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

// Lowers the largest file this process may write; writes past it fail with EFBIG instead of a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = saved_;
        tight.rlim_cur = std::min(bytes, saved_.rlim_max);
        active_ = setrlimit(RLIMIT_FSIZE, &tight) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};

QString CsvFailure(const QString& path, const QByteArray& bytes)
{
    try {
        WriteFileAtomically(path, bytes);
    } catch (const FileWriteError& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

QString SettingsFailure(const TSettings& settings, const QString& folder)
{
    try {
        SaveSettings(settings, folder);
    } catch (const SettingsWriteError& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

TSettings ChangedSettings()
{
    TSettings settings;
    settings.SearchTIFF = true;
    settings.MinPicWidth = 321;
    return settings;
}

}  // namespace

class TestDataSafety : public QObject {
    Q_OBJECT
private slots:
    void csvOnAFullDiskKeepsTheOldList();
    void settingsOnAFullDiskKeepTheOldFile();
    void moveOntoAFullDiskKeepsTheOriginal();
    void csvPastTheFileSizeLimitKeepsTheOldList();
    void moveByCopyPastTheFileSizeLimitKeepsTheOriginal();
};

void TestDataSafety::csvOnAFullDiskKeepsTheOldList()
{
    FullDisk disk;
    if (!disk.Mounted())
        QSKIP("no permission to mount a small file system");
    const QString path = disk.Path(QStringLiteral("list.csv"));
    const QByteArray old = "old list\r\n";
    WriteAll(path, old);
    disk.Fill();

    const QString message = CsvFailure(path, QByteArray(16 * 1024, 'n'));
    QVERIFY2(message.contains(path), qPrintable(message));
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(NamesIn(disk.Folder()), (QStringList{QStringLiteral("filler"), QStringLiteral("list.csv")}));
}

void TestDataSafety::settingsOnAFullDiskKeepTheOldFile()
{
    FullDisk disk;
    if (!disk.Mounted())
        QSKIP("no permission to mount a small file system");
    const QByteArray old = "[Other]\r\nKeep=1\r\n[Main]\r\nSearchJPG=0\r\n";
    WriteAll(SettingsFilePath(disk.Folder()), old);
    disk.Fill();

    const QString message = SettingsFailure(ChangedSettings(), disk.Folder());
    QCOMPARE(message, QStringLiteral("Unable to write to ") + SettingsFilePath(disk.Folder()));
    QCOMPARE(ReadAll(SettingsFilePath(disk.Folder())), old);
    QCOMPARE(NamesIn(disk.Folder()), (QStringList{QStringLiteral("filler"), QString::fromLatin1(kSettingsFileName)}));
}

void TestDataSafety::moveOntoAFullDiskKeepsTheOriginal()
{
    FullDisk disk;
    if (!disk.Mounted())
        QSKIP("no permission to mount a small file system");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString from = home.filePath(QStringLiteral("big.jpg"));
    QByteArray content(3 * kDiskBytes, '\0');
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    WriteAll(from, content);
    WriteAll(disk.Path(QStringLiteral("small.jpg")), "s");

    // Larger than the whole file system: the copy runs out of room part way.
    const FileOpResult result = MovePictureFile(from, disk.Path(QStringLiteral("big.jpg")));
    QVERIFY(!result.ok);
    QCOMPARE(result.errorCode, ENOSPC);
    QCOMPARE(ReadAll(from), content);
    QCOMPARE(NamesIn(disk.Folder()), QStringList{QStringLiteral("small.jpg")});
}

void TestDataSafety::csvPastTheFileSizeLimitKeepsTheOldList()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    const QByteArray old = "old list\r\n";
    WriteAll(path, old);
    QString message;
    {
        FileSizeLimit limit(1024);
        QVERIFY(limit.Active());
        message = CsvFailure(path, QByteArray(4096, 'n'));
    }
    QVERIFY2(message.contains(path), qPrintable(message));
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(NamesIn(dir.path()), QStringList{QStringLiteral("list.csv")});
}

void TestDataSafety::moveByCopyPastTheFileSizeLimitKeepsTheOriginal()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("to")));
    const QString from = dir.filePath(QStringLiteral("big.jpg"));
    const QByteArray content(64 * 1024, 'b');
    WriteAll(from, content);
    FileOpResult result;
    {
        FileSizeLimit limit(4096);
        QVERIFY(limit.Active());
        result = MoveFileByCopy(from, dir.filePath(QStringLiteral("to/big.jpg")));
    }
    QVERIFY(!result.ok);
    QCOMPARE(result.errorCode, EFBIG);
    QCOMPARE(ReadAll(from), content);
    QVERIFY(NamesIn(dir.filePath(QStringLiteral("to"))).isEmpty());
}

QTEST_GUILESS_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
