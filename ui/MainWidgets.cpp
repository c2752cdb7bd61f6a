#include "ui/MainWidgets.h"

#include "ui/DesignUnits.h"

#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolButton>
#include <cmath>

int TDesignScale::operator()(int designUnits) const {
    return static_cast<int>(std::lround(designUnits * scale_));
}

QFont TDesignScale::Font(int characterHeight, bool bold) const {
    return DesignFont((*this)(characterHeight), bold);
}

TPanel::TPanel(QWidget* parent) : QFrame(parent) {}

void TPanel::SetColour(const QColor& background, const QColor& text) {
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    setPalette(p);
    setAutoFillBackground(true);
}

void TPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (onResize)
        onResize();
}

TClickLabel::TClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TPictureView::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TPictureView::ClearPicture() {
    picture_ = QImage();
    update();
}

QRect TPictureView::PictureRect() const {
    if (picture_.isNull())
        return {};
    QSize size = picture_.size();
    if (size.width() > width() || size.height() > height())
        size = size.scaled(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void TPictureView::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    const QRect target = PictureRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != picture_.size());
    painter.drawImage(target, picture_);
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}

TPanel* MakePanel(QWidget* parent, const char* name, bool bordered) {
    auto* panel = new TPanel(parent);
    panel->setObjectName(QLatin1String(name));
    if (bordered) {
        panel->setFrameShape(QFrame::Box);
        panel->setFrameShadow(QFrame::Plain);
        panel->setLineWidth(1);
    }
    return panel;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

QToolButton* MakePictureButton(QWidget* parent, const char* name, const QString& hint, const QString& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setIcon(QIcon(icon));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    widget->setPalette(p);
}
