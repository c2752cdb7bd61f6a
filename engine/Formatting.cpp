// Number, size and time texts shown in the summary, the comparison pane and the CSV export.
#include "engine/Formatting.h"

#include <cmath>

namespace {

constexpr int64_t kKilobyte = 1024;
constexpr int64_t kMegabyte = 1024 * kKilobyte;
constexpr int64_t kGigabyte = 1024 * kMegabyte;

// Digits of a non-negative whole number with `separator` every three digits from the right.
QString groupedDigits(uint64_t value, const QString& separator) {
    const QString digits = QString::number(value);
    QString out;
    out.reserve(digits.size() + digits.size() / 3 * separator.size());
    for (qsizetype k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0)
            out += separator;
        out += digits[k];
    }
    return out;
}

// n / unit with `decimals` places, halves away from zero, computed exactly in integers so that a value that
// is a true half (2560 / 1024 = 2.5) never lands on the wrong side through binary rounding.
QString fixedQuotient(int64_t n, int64_t unit, int decimals, const QString& decimalPoint) {
    int64_t scale = 1;
    for (int k = 0; k < decimals; ++k)
        scale *= 10;
    // Whole units and the remainder apart, so nothing overflows for any 64-bit count.
    const int64_t scaled = n / unit * scale + (n % unit * scale * 2 + unit) / (unit * 2);
    QString text = QString::number(scaled / scale);
    if (decimals == 0)
        return text;
    return text + decimalPoint + QString::number(scaled % scale).rightJustified(decimals, QLatin1Char('0'));
}

}  // namespace

QString FormatCount(double value, const QLocale& locale) {
    // std::round rounds halves away from zero, as the "#,##0" pattern does.
    const double rounded = std::round(value);
    const bool negative = rounded < 0;
    const auto magnitude = static_cast<uint64_t>(negative ? -rounded : rounded);
    const QString text = groupedDigits(magnitude, locale.groupSeparator());
    return negative && magnitude != 0 ? QLatin1Char('-') + text : text;
}

QString FormatSize(int64_t bytes, const QLocale& locale) {
    const QString point = locale.decimalPoint();
    if (bytes >= kGigabyte)
        return fixedQuotient(bytes, kGigabyte, 3, point) + QStringLiteral(" GB");
    if (bytes >= kMegabyte)
        return fixedQuotient(bytes, kMegabyte, 2, point) + QStringLiteral(" MB");
    if (bytes >= kKilobyte)
        return fixedQuotient(bytes, kKilobyte, 0, point) + QStringLiteral(" KB");
    return QString::number(bytes) + QStringLiteral(" B");
}

QString FormatElapsedTime(uint32_t milliseconds) {
    const uint32_t s = milliseconds / 1000;
    // Only the last two digits of each part are shown, so 100 hours read as "00".
    const auto twoDigits = [](uint32_t v) { return QStringLiteral("%1").arg(v % 100, 2, 10, QLatin1Char('0')); };
    return twoDigits(s / 3600) + QLatin1Char(':') + twoDigits(s % 3600 / 60) + QLatin1Char(':') + twoDigits(s % 60);
}
