// The pair list as a semicolon-separated file: shared by the window's export and the command-line search.
#pragma once

#include "engine/Catalogue.h"
#include "platform/SafeWriter.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <vector>

// A field as written: unchanged, or between double quotes with inner quotes doubled when it holds ';', '"',
// CR or LF (otherwise a path holding ';' would split its line into more fields).
QString CsvField(const QString& text);

// The whole file: UTF-8 byte-order mark, the header "Group Num;Picture Filename;Similarity;", then two
// lines per pair of PicturePairs[0 .. LastPairIndex] in their current order (group number, full path,
// similarity as "#,##0" in `locale`), every field followed by ';' and every line by CR LF.
QByteArray PairListCsv(const Catalogue& catalogue, const QLocale& locale);
// The same file over only the listed pairs (indices into PicturePairs, in the order given), numbered from 1.
QByteArray PairListCsv(const Catalogue& catalogue, const QLocale& locale, const std::vector<int32_t>& pairs);
