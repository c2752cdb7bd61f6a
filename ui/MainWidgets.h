// Small widgets the main window is built from: a panel that reports its resizes, a clickable label and the
// picture area of the comparison pane.
#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QWidget>
#include <functional>

class QMouseEvent;
class QPaintEvent;
class QResizeEvent;

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
