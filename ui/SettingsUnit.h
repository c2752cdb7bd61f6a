// The settings dialog: edits the in-memory settings record directly; nothing is written to disk here (the
// record reaches the settings file only when the program closes).
#pragma once

#include "settings/Settings.h"
#include "ui/PlatformServices.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// The size edits' key filter: true when a key press may reach the edit. Only the digits "0" to "9" and
// backspace pass as typed characters; every other character, control characters included (so Ctrl+V, Ctrl+X
// and Enter are dropped), is swallowed. Keys that type nothing (arrows, Home, End, Delete) and Tab
// navigation pass, since they are not typed characters.
bool NumberEditKeyPasses(const QKeyEvent& event);

class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    // The dialog keeps references to both; they must outlive it. Shown with exec(); no result is used.
    TSettingsForm(TSettings& settings, PlatformServices& services, QWidget* parent = nullptr);

    // Stores the controls into the settings and closes. A size edit that does not hold a valid integer
    // is reported through the general error report and the dialog stays open; what was stored before the
    // failing edit (the check boxes, and the width when only the height fails) stays stored.
    void OKButtonClick();
    // Closes without storing anything.
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupControls();
    void FitFontToCaptions();
    void FormShow();
    void StoreControls();
    // The check box of a picture type, by the name the type table gives it.
    QCheckBox* TypeBox(const char* name) const;

    TSettings& settings_;
    PlatformServices& services_;
    std::vector<QCheckBox*> typeBoxes_;  // one per picture type

    // Outside the dialog the controls are found by their objectName only.
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* GroupBox5 = nullptr;  // "More types": the picture types added after the first six
    QGroupBox* GroupBox6 = nullptr;  // "Orientation", below the more types
    QCheckBox* BMPCheckBox = nullptr;
    QCheckBox* JPGCheckBox = nullptr;
    QCheckBox* GIFCheckBox = nullptr;
    QCheckBox* PNGCheckBox = nullptr;
    QCheckBox* TIFFCheckBox = nullptr;
    QCheckBox* CR2CheckBox = nullptr;
    std::vector<QCheckBox*> moreTypeBoxes_;  // in GroupBox5, in the order of the type table
    QCheckBox* FollowOrientationCheckBox = nullptr;
    QCheckBox* RecycleCheckBox = nullptr;
    QCheckBox* SilentDeleteCheckBox = nullptr;
    QCheckBox* OnlyIdenticalCheckBox = nullptr;
    QCheckBox* CheckUpdatesCheckBox = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* MinWidthEdit = nullptr;
    QLineEdit* MinHeightEdit = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
};
