// Small widgets the main window is built from: a panel that reports its resizes, a clickable label and the
// picture area of the comparison pane; the design scale and the makers its regions share.
#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QWidget>
#include <functional>

class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QToolButton;

// The grey-blue of the panels (colour value 8743520) and the text on it.
inline const QColor kPanelColour(96, 106, 133);
inline const QColor kPanelText(255, 255, 255);

// Design units (pixels at 120 dots per inch) to the screen's pixels, and the layout's font at a size.
class TDesignScale {
public:
    explicit TDesignScale(double scale = 1.0) : scale_(scale) {}
    int operator()(int designUnits) const;
    QFont Font(int characterHeight, bool bold = false) const;

private:
    double scale_;
};

// A plain panel; the window places its children itself, from onResize, as the design's docking rules say.
class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);
    // Fills the background with the colour; text of child labels follows the palette's WindowText.
    void SetColour(const QColor& background, const QColor& text);
    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// A label that reports a left click.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(const QString& text, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Shows one picture centred; a picture larger than the area is scaled down to fit, never enlarged.
class TPictureView : public QWidget {
    Q_OBJECT
public:
    explicit TPictureView(QWidget* parent = nullptr);
    void SetPicture(const QImage& picture);
    void ClearPicture();
    const QImage& Picture() const { return picture_; }
    // The rectangle the picture is drawn into, in the view's coordinates (empty without a picture).
    QRect PictureRect() const;
signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

// A panel named `name`, with a thin plain border when `bordered`.
class TPanel;
TPanel* MakePanel(QWidget* parent, const char* name, bool bordered);
// A plain-text label.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// A flat button with an icon and a hint, reached by Tab.
QToolButton* MakePictureButton(QWidget* parent, const char* name, const QString& hint, const QString& icon);
// The text colour, also while disabled.
void SetTextColour(QWidget* widget, const QColor& colour);
