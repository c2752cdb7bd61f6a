// The folder picker: where it opens, what it keeps, its flags, its placement and its fixed version.
#include "ui/FakePlatformServices.h"
#include "ui/FolderDialog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

// Records the placement the picker asks for, for a chooser of a given size.
class PlacingServices : public FakePlatformServices {
public:
    QSize dialogSize{400, 300};
    QPoint placedAt{-1, -1};
    FolderChoice ChooseFolderPlaced(QWidget* parent, const QString& caption, const QString& title,
                                    const QString& startDir, const FolderPlacement& placement) override {
        if (placement)
            placedAt = placement(dialogSize);
        return ChooseFolder(parent, caption, title, startDir);
    }
};

}  // namespace

class TestFolderDialog : public QObject {
    Q_OBJECT

private slots:
    void defaultsAndVersion();
    void opensAtCurrentFolderThenAtTheLastChoice();
    void missingDirectoryFallsBackToCurrentFolder();
    void cancelKeepsDirectory();
    void flagsFollowOptions();
    void placement();
    void executePassesPlacementAndCaption();
};

void TestFolderDialog::defaultsAndVersion() {
    FakePlatformServices services;
    TFolderDialog dialog(services, nullptr);
    QCOMPARE(dialog.Directory, QDir::currentPath());
    QCOMPARE(dialog.Options, TFolderOptions(TFolderOption::fdoNewDialogStyle));
    QCOMPARE(dialog.DialogPosition, TDialogPosition::fdpDefault);
    QCOMPARE(dialog.DialogX, 0);
    QCOMPARE(dialog.DialogY, 0);
    QVERIFY(dialog.Caption.isEmpty());
    QVERIFY(dialog.Title.isEmpty());
    QCOMPARE(dialog.Version(), QStringLiteral("1.1.0.2"));
    dialog.SetVersion(QStringLiteral("9.9"));
    QCOMPARE(dialog.Version(), QStringLiteral("1.1.0.2"));
}

void TestFolderDialog::opensAtCurrentFolderThenAtTheLastChoice() {
    QTemporaryDir tmp;
    FakePlatformServices services;
    TFolderDialog dialog(services, nullptr);
    dialog.Caption = QStringLiteral("Add folder to search");
    services.folderChoices.enqueue({true, tmp.path()});
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Directory, tmp.path());
    QCOMPARE(services.folderStartDirs.last(), QDir::currentPath());
    QCOMPARE(services.folderCaptions.last(), QStringLiteral("Add folder to search"));

    // The next use (say, a move with its own caption) opens where the last one ended.
    dialog.Caption = QStringLiteral("Move a.jpg to selected folder");
    QVERIFY(!dialog.Execute());
    QCOMPARE(services.folderStartDirs.last(), tmp.path());
    QCOMPARE(services.folderCaptions.last(), QStringLiteral("Move a.jpg to selected folder"));
}

void TestFolderDialog::missingDirectoryFallsBackToCurrentFolder() {
    FakePlatformServices services;
    TFolderDialog dialog(services, nullptr);
    {
        QTemporaryDir gone;
        dialog.Directory = gone.path();
    }
    QVERIFY(!dialog.Execute());
    QCOMPARE(services.folderStartDirs.last(), QDir::currentPath());
    QCOMPARE(dialog.Directory, QDir::currentPath());

    // A file is not a folder to open at either.
    QTemporaryDir tmp;
    QFile file(tmp.filePath(QStringLiteral("f.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    dialog.Directory = file.fileName();
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.Directory, QDir::currentPath());
}

void TestFolderDialog::cancelKeepsDirectory() {
    QTemporaryDir tmp;
    FakePlatformServices services;
    TFolderDialog dialog(services, nullptr);
    dialog.Directory = tmp.path();
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.Directory, tmp.path());
    // A choice without a path counts as no choice.
    services.folderChoices.enqueue({true, QString()});
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.Directory, tmp.path());
}

void TestFolderDialog::flagsFollowOptions() {
    FakePlatformServices services;
    TFolderDialog dialog(services, nullptr);
    struct Case {
        const char* name;
        TFolderOptions options;
        uint32_t flags;
    };
    const Case cases[] = {
        {"default", TFolderOption::fdoNewDialogStyle, 0x40},
        {"main window", TFolderOption::fdoReturnOnlyFSDirs | TFolderOption::fdoNewDialogStyle, 0x41},
        {"none", TFolderOptions(), 0},
        {"all",
         TFolderOption::fdoBrowseForComputer | TFolderOption::fdoBrowseForPrinter |
             TFolderOption::fdoDontgoBelowDomain | TFolderOption::fdoReturnFSAncestors |
             TFolderOption::fdoReturnOnlyFSDirs | TFolderOption::fdoStatusText | TFolderOption::fdoNewDialogStyle |
             TFolderOption::fdoNoNewFolderButton | TFolderOption::fdoEditBox,
         0x325F},
    };
    for (const Case& c : cases) {
        dialog.Options = c.options;
        QVERIFY2(dialog.Flags() == c.flags, c.name);
    }
}

void TestFolderDialog::placement() {
    FakePlatformServices services;
    TFolderDialog dialog(services, nullptr);
    const QRect owner(100, 50, 800, 600);
    const QRect screen(0, 0, 1921, 1081);
    const QSize size(401, 301);
    struct Case {
        const char* name;
        TDialogPosition position;
        int x, y;
        QPoint expected;
    };
    const Case cases[] = {
        {"default: 20 right of and below the owner", TDialogPosition::fdpDefault, 5, 5, QPoint(120, 70)},
        {"screen centre, halves rounded toward zero", TDialogPosition::fdpScreenCenter, 0, 0,
         QPoint(960 - 200, 540 - 150)},
        {"at x, y", TDialogPosition::fdpXY, 30, 40, QPoint(30, 40)},
        {"negative x, y raised to 0", TDialogPosition::fdpXY, -30, -1, QPoint(0, 0)},
    };
    for (const Case& c : cases) {
        dialog.DialogPosition = c.position;
        dialog.DialogX = c.x;
        dialog.DialogY = c.y;
        QVERIFY2(dialog.Placement(owner, screen, size) == c.expected, c.name);
    }
}

void TestFolderDialog::executePassesPlacementAndCaption() {
    PlacingServices services;
    QWidget owner;
    owner.setGeometry(200, 150, 640, 480);
    TFolderDialog dialog(services, &owner);
    dialog.DialogPosition = TDialogPosition::fdpXY;
    dialog.DialogX = 33;
    dialog.DialogY = 44;
    QVERIFY(!dialog.Execute());
    QCOMPARE(services.placedAt, QPoint(33, 44));
    dialog.DialogPosition = TDialogPosition::fdpDefault;
    QVERIFY(!dialog.Execute());
    QCOMPARE(services.placedAt, owner.frameGeometry().topLeft() + QPoint(20, 20));
}

QTEST_MAIN(TestFolderDialog)
#include "tst_folderdialog.moc"
