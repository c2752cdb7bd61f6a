// The folder list at the top of the main window: its placeholder, the five tool buttons, the Delete key,
// drops from the file manager and the "Scan Subdirectories" label.
#include "ui/MainFolderList.h"

#include "ui/FolderDialog.h"
#include "ui/MainFrame.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int kTopPanelMin = 78;
constexpr int kPanel2Height = 63;
constexpr int kItemHeight = 18;

const QString kPlaceholderAtStart =
    QStringLiteral("       You can drag directories here from the file manager");
const QString kPlaceholderLater = QStringLiteral("       You can drag directories from the file manager");
constexpr QChar kDelimiter = QLatin1Char('/');
// Where an entry keeps its reference flag.
constexpr int kReferenceRole = Qt::UserRole + 1;
const QString kReferenceTip = QStringLiteral("Reference folder: its pictures are searched, but never marked, "
                                             "deleted or moved");

bool IsReferenceItem(const QListWidgetItem* item) {
    return item && item->data(kReferenceRole).toBool();
}

QString WithDelimiter(const QString& folder) {
    return folder.endsWith(kDelimiter) ? folder : folder + kDelimiter;
}

}  // namespace

TFolderList::TFolderList(TMainFrame& frame, TFolderDialog& folderDialog, TDesignScale scale, QWidget* parent)
    : QObject(parent), frame_(frame), folderDialog_(folderDialog), S(scale) {
    topPanel_ = MakePanel(parent, "TopPanel", false);
    topPanel_->setMinimumHeight(S(kTopPanelMin));
    topPanel_->onResize = [this] { layout(); };

    list_ = new QListWidget(topPanel_);
    list_->setObjectName(QStringLiteral("DirectoriesListBox"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFont(S.Font(15));
    list_->setUniformItemSizes(true);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->installEventFilter(this);
    {
        QPalette p = list_->palette();
        p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Disabled, QPalette::WindowText));
        list_->setPalette(p);
    }
    // The invitation the list opens with.
    showPlaceholder(kPlaceholderAtStart);
    list_->setEnabled(true);

    strip_ = MakePanel(topPanel_, "Panel2", true);
    strip_->SetColour(kPanelColour, kPanelText);
    caption_ = MakeLabel(strip_, "FoldersCaptionLabel", QStringLiteral("Folders:"), S.Font(28));
    SetTextColour(caption_, kPanelText);

    add_ = MakePictureButton(strip_, "AddFolderButton", QStringLiteral("Add Folder"),
                             QStringLiteral(":/voralin/add-folder.svg"));
    remove_ = MakePictureButton(strip_, "RemoveFolderButton", QStringLiteral("Remove Selected Folder"),
                                QStringLiteral(":/voralin/remove-folder.svg"));
    up_ = MakePictureButton(strip_, "MoveFolderUpButton", QStringLiteral("Move Up"),
                            QStringLiteral(":/voralin/move-up.svg"));
    down_ = MakePictureButton(strip_, "MoveFolderDownButton", QStringLiteral("Move Down"),
                              QStringLiteral(":/voralin/move-down.svg"));
    clear_ = MakePictureButton(strip_, "ClearDirectoriesButton", QStringLiteral("Clear All"),
                               QStringLiteral(":/voralin/clear-all.svg"));

    start_ = new QPushButton(QStringLiteral("Start Search"), strip_);
    start_->setObjectName(QStringLiteral("StartButton"));
    start_->setFont(S.Font(15, true));
    start_->setIcon(QIcon(QStringLiteral(":/voralin/search.svg")));

    scanSubfolders_ = new QCheckBox(QStringLiteral(" "), strip_);
    scanSubfolders_->setObjectName(QStringLiteral("ScanSubfoldersCheckBox"));
    scanSubfolders_->setChecked(true);
    scanLabel_ = new TClickLabel(QStringLiteral(" Scan Subdirectories"), strip_);
    scanLabel_->setObjectName(QStringLiteral("Label1"));
    scanLabel_->setFont(S.Font(15));
    scanLabel_->setCursor(Qt::PointingHandCursor);
    SetTextColour(scanLabel_, kPanelText);

    connect(add_, &QToolButton::clicked, this, &TFolderList::addClicked);
    connect(remove_, &QToolButton::clicked, this, &TFolderList::removeClicked);
    connect(up_, &QToolButton::clicked, this, &TFolderList::upClicked);
    connect(down_, &QToolButton::clicked, this, &TFolderList::downClicked);
    connect(clear_, &QToolButton::clicked, this, &TFolderList::clearClicked);
    connect(start_, &QPushButton::clicked, this, &TFolderList::startClicked);
    connect(scanLabel_, &TClickLabel::clicked, this, &TFolderList::scanLabelClicked);
    connect(scanSubfolders_, &QCheckBox::toggled, this, [this](bool on) { frame_.State().settings.ScanSubfolders = on; });
    setupReferenceAction();
}

void TFolderList::setupReferenceAction() {
    referenceAction_ = new QAction(QStringLiteral("Reference folder (never touch)"), list_);
    referenceAction_->setObjectName(QStringLiteral("ReferenceFolder1"));
    referenceAction_->setCheckable(true);
    list_->addAction(referenceAction_);
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(referenceAction_, &QAction::triggered, this, &TFolderList::ToggleReferenceFolder);
    connect(list_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) { referenceAction_->setChecked(IsReferenceItem(item)); });
}

void TFolderList::ToggleReferenceFolder() {
    const int index = SelectedFolderIndex();
    if (frame_.State().PlaceholderShown || index < 0) {
        referenceAction_->setChecked(false);
        return;
    }
    QListWidgetItem* item = list_->item(index);
    const bool on = !IsReferenceItem(item);
    showAsReference(item, on);
    referenceAction_->setChecked(on);
    emit referenceFoldersChanged();
}

void TFolderList::showAsReference(QListWidgetItem* item, bool on) {
    item->setData(kReferenceRole, on);
    QFont font = item->font();
    font.setItalic(on);
    item->setFont(font);
    item->setIcon(on ? QIcon(QStringLiteral(":/voralin/reference-folder.svg")) : QIcon());
    item->setToolTip(on ? item->text() + QStringLiteral("\n") + kReferenceTip : item->text());
}

std::vector<RememberedFolder> TFolderList::RememberedFolders() const {
    std::vector<RememberedFolder> folders;
    if (frame_.State().PlaceholderShown)
        return folders;
    for (int i = 0; i < list_->count(); ++i)
        folders.push_back({list_->item(i)->text(), IsReferenceItem(list_->item(i))});
    return folders;
}

void TFolderList::RestoreFolders(const std::vector<RememberedFolder>& folders) {
    if (folders.empty())
        return;
    leavePlaceholder();
    for (const RememberedFolder& folder : folders) {
        appendFolder(folder.Path);
        if (folder.Reference)
            showAsReference(list_->item(list_->count() - 1), true);
    }
    emit referenceFoldersChanged();
}

QStringList TFolderList::ReferenceFolders() const {
    QStringList folders;
    if (frame_.State().PlaceholderShown)
        return folders;
    for (int i = 0; i < list_->count(); ++i) {
        if (IsReferenceItem(list_->item(i)))
            folders.append(list_->item(i)->text());
    }
    return folders;
}

QWidget* TFolderList::Panel() const {
    return topPanel_;
}

void TFolderList::layout() {
    const int w = topPanel_->width();
    const int h = topPanel_->height();
    const int stripHeight = S(kPanel2Height);
    list_->setGeometry(0, 0, w, std::max(0, h - stripHeight));
    strip_->setGeometry(0, h - stripHeight, w, stripHeight);

    const int captionWidth = std::max(S(99), caption_->sizeHint().width());
    caption_->setGeometry(S(20), S(12), captionWidth, S(34));
    const int iconSide = S(34);
    struct Placed {
        QToolButton* button;
        int left, width;
    };
    for (const Placed& p : {Placed{add_, 143, 47}, Placed{remove_, 197, 48}, Placed{up_, 252, 47},
                            Placed{down_, 307, 47}, Placed{clear_, 362, 47}}) {
        p.button->setGeometry(S(p.left), S(5), S(p.width), S(47));
        p.button->setIconSize(QSize(iconSide, iconSide));
    }
    start_->setGeometry(S(433), S(8), S(148), S(44));
    start_->setIconSize(QSize(S(22), S(22)));
    // In a window at its narrowest the label would run past the strip's edge; the check box and label then
    // close up on the Start button, as far as the gap between them allows.
    const int labelWidth = std::max(S(130), scanLabel_->sizeHint().width());
    const int gap = S(625) - start_->geometry().right() - S(8);
    const int shift = std::clamp(S(647) + labelWidth - (w - S(4)), 0, std::max(gap, 0));
    scanSubfolders_->setGeometry(S(625) - shift, S(18), S(26), S(23));
    scanLabel_->setGeometry(S(647) - shift, S(20), labelWidth, S(18));
}

void TFolderList::SetGroupEnabled(TControl group, bool on) {
    switch (group) {
    case TControl::FolderList:
        list_->setEnabled(on);
        break;
    case TControl::FolderButtons:
        for (QToolButton* button : {add_, remove_, up_, down_, clear_})
            button->setEnabled(on);
        break;
    case TControl::ScanSubfolders:
        scanSubfolders_->setEnabled(on);
        break;
    case TControl::StartCommand:
        start_->setEnabled(on);
        break;
    default:
        break;
    }
}

void TFolderList::ShowStartCaption(bool searching) {
    start_->setText(searching ? QStringLiteral("Stop Search") : QStringLiteral("Start Search"));
    start_->setIcon(QIcon(searching ? QStringLiteral(":/voralin/stop.svg") : QStringLiteral(":/voralin/search.svg")));
}

void TFolderList::DisableWhilePlaceholder() {
    if (frame_.State().PlaceholderShown)
        list_->setEnabled(false);
}

bool TFolderList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            emit deleteKeyPressed(key->key());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QStringList TFolderList::Items() const {
    QStringList items;
    for (int i = 0; i < list_->count(); ++i)
        items.append(list_->item(i)->text());
    return items;
}

bool TFolderList::ScanSubfolders() const {
    return scanSubfolders_->isChecked();
}

void TFolderList::SetScanSubfolders(bool on) {
    scanSubfolders_->setChecked(on);
}

void TFolderList::leavePlaceholder() {
    if (!frame_.State().PlaceholderShown)
        return;
    list_->clear();
    list_->setEnabled(true);
    frame_.State().PlaceholderShown = false;
}

void TFolderList::showPlaceholder(const QString& line) {
    list_->addItems({QString(), QString(), line});
    for (int i = 0; i < list_->count(); ++i)
        list_->item(i)->setSizeHint(QSize(0, S(kItemHeight)));
    list_->setEnabled(false);
    frame_.State().PlaceholderShown = true;
}

void TFolderList::appendFolder(const QString& folder) {
    auto* item = new QListWidgetItem(WithDelimiter(folder), list_);
    item->setSizeHint(QSize(0, S(kItemHeight)));
    item->setToolTip(item->text());
}

int TFolderList::SelectedFolderIndex() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void TFolderList::AddFolderButtonClick() {
    folderDialog_.Caption = QStringLiteral("Add folder to search");
    if (!folderDialog_.Execute())
        return;
    leavePlaceholder();
    appendFolder(folderDialog_.Directory);
}

void TFolderList::RemoveFolderButtonClick() {
    if (frame_.State().PlaceholderShown)
        return;
    removeSelectedFolder();
    if (list_->count() == 0)
        showPlaceholder(kPlaceholderLater);
    emit referenceFoldersChanged();
}

void TFolderList::DirectoriesListBoxKeyDown(int key) {
    if (key != Qt::Key_Delete)
        return;
    // Unlike Remove, this never brings the placeholder back: the last Delete leaves an empty list.
    removeSelectedFolder();
    emit referenceFoldersChanged();
}

void TFolderList::removeSelectedFolder() {
    const int index = SelectedFolderIndex();
    if (index < 0)
        return;
    delete list_->takeItem(index);
    // The list would select the next folder, and a second press would remove a folder the user never chose.
    list_->setCurrentItem(nullptr);
    list_->clearSelection();
}

void TFolderList::MoveFolderUpButtonClick() {
    const int index = SelectedFolderIndex();
    if (frame_.State().PlaceholderShown || index <= 0)
        return;
    QListWidgetItem* item = list_->takeItem(index);
    list_->insertItem(index - 1, item);
    list_->setCurrentRow(index - 1);
}

void TFolderList::MoveFolderDownButtonClick() {
    const int index = SelectedFolderIndex();
    if (frame_.State().PlaceholderShown || index < 0 || index >= list_->count() - 1)
        return;
    QListWidgetItem* item = list_->takeItem(index);
    list_->insertItem(index + 1, item);
    list_->setCurrentRow(index + 1);
}

void TFolderList::ClearDirectoriesButtonClick() {
    if (frame_.State().PlaceholderShown)
        return;
    list_->clear();
    showPlaceholder(kPlaceholderLater);
    emit referenceFoldersChanged();
}

void TFolderList::Label1Click() {
    // Also while the box is disabled during a search: the scanner reads it as it enters each folder, so the
    // change applies to the folders not yet entered.
    scanSubfolders_->setChecked(!scanSubfolders_->isChecked());
}

QString TFolderList::DroppedFolder(const QString& path) {
    if (path.isEmpty())
        return {};
    if (QFileInfo(path).isDir())
        return WithDelimiter(path);
    const qsizetype cut = path.lastIndexOf(kDelimiter);
    if (cut < 0)
        return {};
    // A file at the root keeps the root's own delimiter.
    const QString folder = cut == 0 ? QString(kDelimiter) : path.left(cut);
    if (!QFileInfo(folder).isDir())
        return {};
    return WithDelimiter(folder);
}

void TFolderList::FormDropFiles(const QStringList& paths) {
    leavePlaceholder();
    // Several files of one folder are one folder to search.
    QStringList added;
    for (const QString& path : paths) {
        const QString folder = DroppedFolder(path);
        if (folder.isEmpty() || added.contains(folder))
            continue;
        added.append(folder);
        appendFolder(folder);
    }
}
