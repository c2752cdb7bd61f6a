// The windows are laid out in pixels at 120 dots per inch; these scale them to the screen and give the
// layout's font with the nearest installed stand-ins.
#pragma once

#include <QApplication>
#include <QFont>
#include <QWidget>
#include <algorithm>

constexpr double kDesignDpi = 120.0;

inline double DesignScale(const QWidget* widget) {
    return widget->logicalDpiX() / kDesignDpi;
}

inline int DesignPixels(const QWidget* widget, int designUnits) {
    return qRound(designUnits * DesignScale(widget));
}

// Tahoma where installed; Liberation Sans and Arial come closest to its widths otherwise.
inline QFont DesignFont(int pixelHeight, bool bold = false) {
    QFont f = QApplication::font();
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                   QApplication::font().family()});
    f.setPixelSize(std::max(1, pixelHeight));
    f.setBold(bold);
    return f;
}
