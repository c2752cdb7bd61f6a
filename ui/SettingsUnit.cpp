#include "ui/SettingsUnit.h"

#include "settings/IniFile.h"
#include "settings/PictureTypeTable.h"
#include "ui/DesignUnits.h"
#include "ui/ErrorReport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

// The specified layout is 548 wide; the "More types" group adds a column on the right, leaving it as it is.
constexpr int kClientWidth = 744;
constexpr int kClientHeight = 425;
constexpr int kFontHeight = 14;
constexpr int kSilentDeleteFontHeight = 15;  // this one caption is drawn a little larger in the layout

// The places of the first group's type boxes, in table order (BMP, JPG, GIF, PNG, TIFF, CR2).
const std::array<QRect, 6> kFirstGroupPlaces{{
    {31, 31, 75, 23}, {31, 61, 75, 23}, {31, 92, 75, 22}, {31, 122, 75, 22}, {31, 152, 75, 22}, {31, 182, 122, 22}}};

// Backspace as a typed character; it must pass so the user can correct a number.
constexpr char16_t kBackspace = 8;

// The size conversion: the settings file's integer rules, but where the file would fall back to a default
// the dialog reports an error instead (the empty text included).
int32_t ConvertEditText(const QString& text) {
    const std::optional<int32_t> value = ParseIniInteger(text);
    if (!value)
        throw std::runtime_error(QStringLiteral("''%1'' is not a valid integer value").arg(text).toStdString());
    return *value;
}

bool IsCtrlCharacterChord(const QKeyEvent& event) {
    // On the original platform Ctrl with a letter types a control character (Ctrl+V is character 22),
    // which the edit acts on; dropping those characters therefore also drops keyboard paste and cut.
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier))
        return false;
    return event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z;
}

}  // namespace

bool NumberEditKeyPasses(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Backspace)
        return true;
    if (event.key() == Qt::Key_Tab || event.key() == Qt::Key_Backtab)
        return true;  // focus navigation, handled before any character is typed
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter || event.key() == Qt::Key_Escape)
        return true;  // the dialog's own keys: OK and Cancel
    if (IsCtrlCharacterChord(event))
        return false;
    const QString text = event.text();
    if (text.isEmpty())
        return true;  // types nothing: cursor movement, Delete and the like
    if (text.size() == 1 && text.front() == kBackspace)
        return true;
    if (event.key() == Qt::Key_Delete)
        return true;  // some platforms attach DEL (127) as text, but it edits, it does not type
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    return text.size() == 1 && text.front() >= u'0' && text.front() <= u'9';
}

TSettingsForm::TSettingsForm(TSettings& settings, PlatformServices& services, QWidget* parent)
    : QDialog(parent), settings_(settings), services_(services) {
    SetupControls();
}

void TSettingsForm::SetupControls() {
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const auto s = [this](int units) { return DesignPixels(this, units); };

    setFont(DesignFont(s(kFontHeight)));
    setFixedSize(s(kClientWidth), s(kClientHeight));

    const auto group = [&](const char* name, const QString& caption, int left, int top, int width, int height) {
        auto* box = new QGroupBox(caption, this);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(s(left), s(top), s(width), s(height));
        return box;
    };
    const auto check = [&](QGroupBox* box, const char* name, const QString& caption, int left, int top, int width,
                           int height) {
        auto* cb = new QCheckBox(caption, box);
        cb->setObjectName(QLatin1String(name));
        cb->setGeometry(s(left), s(top), s(width), s(height));
        return cb;
    };
    const auto label = [&](QGroupBox* box, const char* name, const QString& caption, int left, int top) {
        auto* l = new QLabel(caption, box);
        l->setObjectName(QLatin1String(name));
        l->move(s(left), s(top));
        l->adjustSize();
        return l;
    };
    const auto edit = [&](QGroupBox* box, const char* name, int left, int top, int width, int height) {
        auto* e = new QLineEdit(QStringLiteral("100"), box);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(s(left), s(top), s(width), s(height));
        e->installEventFilter(this);
        return e;
    };
    const auto button = [&](const char* name, const QString& caption, int left, int top, int width, int height) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(s(left), s(top), s(width), s(height));
        return b;
    };

    GroupBox1 = group("GroupBox1", QStringLiteral("File Types to Scan"), 10, 10, 190, 258);
    // The picture types' boxes come from the type table, each group filled in table order.
    size_t firstGroupRow = 0;
    for (const PictureType& type : PictureTypes()) {
        if (type.MoreTypes)
            continue;
        const QRect& place = kFirstGroupPlaces.at(firstGroupRow++);
        typeBoxes_.push_back(check(GroupBox1, type.CheckBoxName, QString::fromLatin1(type.Caption), place.x(),
                                   place.y(), place.width(), place.height()));
    }
    GroupBox5 = group("GroupBox5", QStringLiteral("More types"), 544, 10, 190, 258);
    int moreRow = 0;
    for (const PictureType& type : PictureTypes()) {
        if (!type.MoreTypes)
            continue;
        moreTypeBoxes_.push_back(check(GroupBox5, type.CheckBoxName, QString::fromLatin1(type.Caption), 31,
                                      31 + 30 * moreRow++, 150, 23));
        typeBoxes_.push_back(moreTypeBoxes_.back());
    }
    // Beside the Application group, in the column the more types opened.
    GroupBox6 = group("GroupBox6", QStringLiteral("Orientation"), 544, 271, 190, 74);
    FollowOrientationCheckBox =
        check(GroupBox6, "FollowOrientationCheckBox", QStringLiteral(" Follow the Camera"), 16, 31, 160, 23);
    FollowOrientationCheckBox->setToolTip(
        QStringLiteral("Turn pictures as the camera recorded them before comparing"));
    BMPCheckBox = TypeBox("BMPCheckBox");
    JPGCheckBox = TypeBox("JPGCheckBox");
    GIFCheckBox = TypeBox("GIFCheckBox");
    PNGCheckBox = TypeBox("PNGCheckBox");
    TIFFCheckBox = TypeBox("TIFFCheckBox");
    CR2CheckBox = TypeBox("CR2CheckBox");

    GroupBox2 = group("GroupBox2", QStringLiteral("Delete Options"), 208, 10, 328, 106);
    RecycleCheckBox = check(GroupBox2, "RecycleCheckBox", QStringLiteral(" Move Files to Trash"), 24, 30, 242, 23);
    SilentDeleteCheckBox = check(GroupBox2, "SilentDeleteCheckBox", QStringLiteral(" Delete Files without Confirmation"),
                                 24, 61, 263, 23);
    SilentDeleteCheckBox->setFont(DesignFont(s(kSilentDeleteFontHeight)));

    GroupBox3 = group("GroupBox3", QStringLiteral("Search Options"), 208, 118, 328, 150);
    OnlyIdenticalCheckBox = check(GroupBox3, "OnlyIdenticalCheckBox", QStringLiteral(" Search Only 100% Identical Pictures"),
                                  24, 31, 274, 23);
    Label1 = label(GroupBox3, "Label1", QStringLiteral("Minimum Picture Width"), 24, 70);
    MinWidthEdit = edit(GroupBox3, "MinWidthEdit", 178, 67, 65, 25);
    Label3 = label(GroupBox3, "Label3", QStringLiteral("pixels"), 249, 70);
    Label2 = label(GroupBox3, "Label2", QStringLiteral("Minimum Picture Height"), 24, 101);
    MinHeightEdit = edit(GroupBox3, "MinHeightEdit", 178, 98, 65, 25);
    Label4 = label(GroupBox3, "Label4", QStringLiteral("pixels"), 249, 101);

    GroupBox4 = group("GroupBox4", QStringLiteral("Application"), 9, 271, 527, 74);
    CheckUpdatesCheckBox = check(GroupBox4, "CheckUpdatesCheckBox", QStringLiteral(" Automatically Check for Updates"),
                                 151, 31, 264, 23);

    OKButton = button("OKButton", QStringLiteral("OK"), 120, 364, 148, 43);
    CancelButton = button("CancelButton", QStringLiteral("Cancel"), 276, 364, 148, 43);
    // Enter presses OK (or the button that has the keyboard), Escape is Cancel, as in every dialog.
    OKButton->setDefault(true);

    // Tab order by groups: the file types, then the two buttons, then the other three groups, then the more
    // types and the orientation.
    QList<QWidget*> chain = {BMPCheckBox,     JPGCheckBox,          GIFCheckBox,  PNGCheckBox,
                             TIFFCheckBox,    CR2CheckBox,          OKButton,     CancelButton,
                             RecycleCheckBox, SilentDeleteCheckBox, OnlyIdenticalCheckBox,
                             MinWidthEdit,    MinHeightEdit,        CheckUpdatesCheckBox};
    for (QCheckBox* box : moreTypeBoxes_)
        chain << box;
    chain << FollowOrientationCheckBox;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    FitFontToCaptions();

    connect(OKButton, &QPushButton::clicked, this, &TSettingsForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSettingsForm::CancelButtonClick);
}

QCheckBox* TSettingsForm::TypeBox(const char* name) const {
    for (QCheckBox* box : typeBoxes_) {
        if (box->objectName() == QLatin1String(name))
            return box;
    }
    throw std::logic_error("no check box for a picture type");
}

void TSettingsForm::FitFontToCaptions() {
    // The places were drawn for Tahoma; a wider substitute font would cut captions off or run the size
    // labels into their edits, so the whole dialog's font shrinks just enough for every caption to fit.
    const auto ratio = [](const QWidget* w, int available) {
        return static_cast<double>(available) / std::max(1, w->sizeHint().width());
    };
    double factor = 1.0;
    for (const QCheckBox* cb : findChildren<QCheckBox*>())
        factor = std::min(factor, ratio(cb, cb->width()));
    for (const QLabel* l : {Label1, Label2})
        factor = std::min(factor, ratio(l, MinWidthEdit->x() - l->x() - 2));
    if (factor >= 1.0)
        return;
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(SilentDeleteCheckBox)}) {
        QFont f = w->font();
        f.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * factor)));
        w->setFont(f);
    }
    for (QLabel* l : {Label1, Label2, Label3, Label4})
        l->adjustSize();
}

void TSettingsForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TSettingsForm::FormShow() {
    GroupBox1->setTitle(QStringLiteral("Scan the following types"));
    for (const PictureType& type : PictureTypes())
        TypeBox(type.CheckBoxName)->setChecked(settings_.*type.EnabledBy);
    RecycleCheckBox->setChecked(settings_.MoveToRecycle);
    SilentDeleteCheckBox->setChecked(settings_.DeleteWithoutAsking);
    OnlyIdenticalCheckBox->setChecked(settings_.SearchOnlyIdentical);
    CheckUpdatesCheckBox->setChecked(settings_.AutoCheckUpdates);
    FollowOrientationCheckBox->setChecked(settings_.FollowOrientation);
    MinWidthEdit->setText(QString::number(settings_.MinPicWidth));
    MinHeightEdit->setText(QString::number(settings_.MinPicHeight));
}

void TSettingsForm::StoreControls() {
    for (const PictureType& type : PictureTypes())
        settings_.*type.EnabledBy = TypeBox(type.CheckBoxName)->isChecked();
    settings_.MoveToRecycle = RecycleCheckBox->isChecked();
    settings_.DeleteWithoutAsking = SilentDeleteCheckBox->isChecked();
    settings_.SearchOnlyIdentical = OnlyIdenticalCheckBox->isChecked();
    settings_.AutoCheckUpdates = CheckUpdatesCheckBox->isChecked();
    settings_.FollowOrientation = FollowOrientationCheckBox->isChecked();
    // Each size is stored as soon as it converts: a failing height leaves the new width in effect.
    settings_.MinPicWidth = ConvertEditText(MinWidthEdit->text());
    settings_.MinPicHeight = ConvertEditText(MinHeightEdit->text());
    if (settings_.MinPicWidth < 0)
        settings_.MinPicWidth = 0;
    if (settings_.MinPicHeight < 0)
        settings_.MinPicHeight = 0;
}

void TSettingsForm::OKButtonClick() {
    RunGuarded(services_, this, [this] {
        StoreControls();
        accept();
    });
}

void TSettingsForm::CancelButtonClick() { reject(); }

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == MinWidthEdit || watched == MinHeightEdit)) {
        if (!NumberEditKeyPasses(*static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
