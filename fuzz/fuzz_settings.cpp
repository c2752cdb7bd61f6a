// The settings file as the program meets it: any bytes through the INI reader and LoadSettings, then a save
// that must keep every value the reader saw.
#include "fuzz/FuzzWork.h"
#include "settings/IniFile.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QString Folder() { return FuzzWorkFolder().path() + QLatin1Char('/'); }

bool SameSettings(const TSettings& a, const TSettings& b)
{
    return a.SearchJPG == b.SearchJPG && a.SearchBMP == b.SearchBMP && a.SearchGIF == b.SearchGIF &&
           a.SearchPNG == b.SearchPNG && a.SearchTIFF == b.SearchTIFF && a.SearchCR2 == b.SearchCR2 &&
           a.SearchSimilar == b.SearchSimilar && a.MoveToRecycle == b.MoveToRecycle &&
           a.DeleteWithoutAsking == b.DeleteWithoutAsking && a.SearchOnlyIdentical == b.SearchOnlyIdentical &&
           a.AutoCheckUpdates == b.AutoCheckUpdates && a.ScanSubfolders == b.ScanSubfolders &&
           a.MinPicWidth == b.MinPicWidth && a.MinPicHeight == b.MinPicHeight;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The reader alone: whatever it keeps, written out and read again, answers the same.
    const IniFile ini = IniFile::FromBytes(bytes);
    const IniFile again = IniFile::FromBytes(ini.ToBytes());
    for (const char* key : {"SearchJPG", "MinPicWidth", "MinPicHeight", "AutoCheckUpdates"})
        Require(ini.Value(QStringLiteral("Main"), QLatin1String(key)) ==
                again.Value(QStringLiteral("Main"), QLatin1String(key)));
    Require(IniFile::FromBytes(bytes).ToBytes() == ini.ToBytes());

    // The settings file: load, save over it, load again; the second load sees what the first one did.
    const QString path = SettingsFilePath(Folder());
    {
        QFile file(path);
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Require(file.write(bytes) == bytes.size());
    }
    TSettings first;
    LoadSettings(first, Folder());
    Require(first.MinPicWidth >= 0 && first.MinPicHeight >= 0);
    SaveSettings(first, Folder());
    TSettings second;
    LoadSettings(second, Folder());
    Require(SameSettings(first, second));
    return 0;
}
