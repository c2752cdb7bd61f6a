#include "ui/MainWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

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
