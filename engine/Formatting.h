// Texts shown to the user: counts and similarities ("#,##0"), sizes, elapsed time.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

// Whole number, halves away from zero, the locale's group separator every three digits.
QString FormatCount(double value, const QLocale& locale);
// "%.3f GB", "%.2f MB", "%.0f KB" or "n B" with the locale's decimal separator.
QString FormatSize(int64_t bytes, const QLocale& locale);
// "hh:mm:ss", hours shown by their last two digits.
QString FormatElapsedTime(uint32_t milliseconds);
