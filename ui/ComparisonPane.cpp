// The comparison pane's previews and texts.
#include "ui/ComparisonPane.h"

#include "engine/Formatting.h"
#include "picture/PictureLoader.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace {

// Above these recorded sizes a preview is decoded at a quarter: height, then width.
constexpr int32_t kQuarterHeight = 1500;
constexpr int32_t kQuarterWidth = 2000;
// Above this on either side a preview is decoded at a half.
constexpr int32_t kHalfSide = 1000;
// The frame is a twentieth of the shorter side, and never thinner than this, so small previews show one.
constexpr int kFrameDivisor = 20;
constexpr int kMinFramePen = 2;

}  // namespace

int PreviewScale(int32_t width, int32_t height) {
    if (height > kQuarterHeight || width > kQuarterWidth)
        return 4;
    if (height > kHalfSide || width > kHalfSide)
        return 2;
    return 1;
}

QImage BitmapToImage(const TBitmap& bitmap) {
    if (bitmap.Width <= 0 || bitmap.Height <= 0 || bitmap.Pixels.empty())
        return {};
    const qsizetype bytesPerLine = static_cast<qsizetype>(bitmap.Width) * bitmap.BytesPerPixel();
    const QImage::Format format =
        bitmap.Format == PixelFormat::Bgr24 ? QImage::Format_BGR888 : QImage::Format_Grayscale8;
    // The wrapper borrows the pixels; the conversion makes the copy that outlives them.
    const QImage borrowed(bitmap.Pixels.data(), bitmap.Width, bitmap.Height, bytesPerLine, format);
    return borrowed.convertToFormat(QImage::Format_RGB32);
}

QImage LoadPreview(const QString& path, int32_t recordedWidth, int32_t recordedHeight, bool followOrientation) {
    return BitmapToImage(LoadPreviewPicture(path, PreviewScale(recordedWidth, recordedHeight), followOrientation));
}

int FramePenWidth(int width, int height) {
    return std::max(std::min(width, height) / kFrameDivisor, kMinFramePen);
}

void DrawImageFrame(QImage& preview) {
    if (preview.isNull())
        return;
    const int w = preview.width();
    const int h = preview.height();
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::white, FramePenWidth(w, h), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const QPoint corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    painter.drawPolygon(corners, 4);
}

QString ExtensionText(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    return fileName.mid(dot + 1).toUpper();
}

QString PictureInfoText(const TPicInfo& picture, const QLocale& locale) {
    return ExtensionText(picture.FileName) + QStringLiteral("  ") + QString::number(picture.Width) +
           QStringLiteral(" x ") + QString::number(picture.Height) + QStringLiteral("  ") +
           FormatSize(picture.Size, locale);
}

QString PercentText(double similarity, const QLocale& locale) {
    return FormatCount(similarity, locale) + QLatin1Char('%');
}
