// The comparison pane's decisions, apart from its widgets: the preview's decoding scale and decoding, the
// white frame, and the texts under and between the pictures.
#pragma once

#include "engine/Catalogue.h"
#include "picture/Bitmap.h"

#include <QImage>
#include <QLocale>
#include <QString>
#include <cstdint>

// Previews of large pictures are decoded at reduced scale, chosen from the dimensions the search recorded:
// 4 when height > 1500 or width > 2000, else 2 when either side is above 1000, else 1 (full size).
int PreviewScale(int32_t width, int32_t height);

// A copy of the bitmap as a 32-bit image for display; an empty bitmap gives a null image.
QImage BitmapToImage(const TBitmap& bitmap);

// Decodes the file through the same decoder choice and JPEG conversion as the search, at the scale above.
// Throws PictureError when the file cannot be opened or decoded.
QImage LoadPreview(const QString& path, int32_t recordedWidth, int32_t recordedHeight, bool followOrientation = false);

// The frame's pen width for a preview of w x h pixels: min(w, h) div 20, but at least 2.
int FramePenWidth(int width, int height);

// Draws the white frame onto the preview itself: the closed line (0,0)-(w,0)-(w,h)-(0,h) with the pen
// centred on it, so about half of the pen's width lies inside along every edge. A null image is left alone.
void DrawImageFrame(QImage& preview);

// The upper-cased extension of a file name without its dot ("JPG" for "a.b.jpg"), empty without a dot.
QString ExtensionText(const QString& fileName);

// The info line under a picture: extension, two spaces, "W x H", two spaces, the size text, as in
// "JPG  220 x 290  17 KB". Width and height are the recorded ones, not the preview's.
QString PictureInfoText(const TPicInfo& picture, const QLocale& locale);

// The similarity between the pictures: "#,##0" followed by "%" ("63%" for 62.8).
QString PercentText(double similarity, const QLocale& locale);
