// Writes the seed corpora of the fuzz targets into <output>/<target without "fuzz_">: picture (and jpg, png,
// gif, bmp, tif, cr2 for the targets of one type), cache, memo, journal, pairs, window, settings and
// update_reply. Small valid inputs of every kind, so the fuzzer starts from deep inside each parser.
#include "core/PictureFixtures.h"
#include "engine/PartnerMemo.h"
#include "engine/SignatureCache.h"
#include "history/ActionJournal.h"
#include "history/RememberedPairs.h"
#include "history/WindowMemory.h"
#include "fuzz/FuzzFormats.h"
#include "fuzz/FuzzListing.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The check at the end of a cache file or memo.
constexpr qsizetype kFnvCheckBytes = 8;

enum FormatIndex : uint8_t { kJpg, kPng, kGif, kBmp, kTif, kCr2 };
// The seed folders of the targets of one type, by format index.
constexpr const char* kTypeFolders[] = {"jpg", "png", "gif", "bmp", "tif", "cr2"};

void Put(const QString& folder, const QString& name, const QByteArray& bytes)
{
    const QString clean = QDir::cleanPath(folder);
    QDir().mkpath(clean);
    fixtures::WriteBytes(clean + QLatin1Char('/') + name, bytes);
}

// The all-types target's seed behind its format byte, and the same content alone for its type's target.
void PutPicture(const QString& folder, const char* name, FormatIndex format, const QByteArray& content)
{
    Put(folder, QString::fromLatin1(name), QByteArray(1, static_cast<char>(format)) + content);
    Put(folder + QStringLiteral("/../") + QLatin1String(kTypeFolders[format]), QString::fromLatin1(name), content);
}

// Small sizes keep each execution fast; the fuzzer grows them where that finds something new.
void PictureSeeds(const QString& folder)
{
    const QImage small = fixtures::MakeNaturalPicture(24, 16, 1);
    const QImage tiny = fixtures::MakeNaturalPicture(6, 9, 2);
    for (const auto& [name, options] : {std::pair{"jpg-rgb", fixtures::JpegOptions{}},
                                        std::pair{"jpg-grey", fixtures::JpegOptions{80, fixtures::JpegModel::Grey}},
                                        std::pair{"jpg-cmyk", fixtures::JpegOptions{80, fixtures::JpegModel::Cmyk}},
                                        std::pair{"jpg-ycck", fixtures::JpegOptions{80, fixtures::JpegModel::Ycck}},
                                        std::pair{"jpg-progressive",
                                                  fixtures::JpegOptions{75, fixtures::JpegModel::Rgb, true}}})
        PutPicture(folder, name, kJpg, fixtures::EncodeJpeg(small, options));

    PutPicture(folder, "png-rgb", kPng, fixtures::EncodeImage(small, "png"));
    PutPicture(folder, "png-alpha", kPng,
               fixtures::EncodeImage(tiny.convertToFormat(QImage::Format_ARGB32), "png"));
    PutPicture(folder, "png-indexed", kPng,
               fixtures::EncodeImage(small.convertToFormat(QImage::Format_Indexed8), "png"));
    PutPicture(folder, "png-grey16", kPng,
               fixtures::EncodeImage(tiny.convertToFormat(QImage::Format_Grayscale16), "png"));
    PutPicture(folder, "bmp-rgb", kBmp, fixtures::EncodeImage(small, "bmp"));
    PutPicture(folder, "bmp-indexed", kBmp,
               fixtures::EncodeImage(tiny.convertToFormat(QImage::Format_Indexed8), "bmp"));
    PutPicture(folder, "tif-rgb", kTif, fixtures::EncodeImage(small, "tiff"));
    PutPicture(folder, "tif-mono", kTif,
               fixtures::EncodeImage(tiny.convertToFormat(QImage::Format_Mono), "tiff"));

    fixtures::GifFrame frame{8, 6, std::vector<uint8_t>(48), -1};
    for (size_t i = 0; i < frame.Indices.size(); ++i)
        frame.Indices[i] = static_cast<uint8_t>(i % 5);
    const std::vector<QRgb> palette = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                       qRgb(200, 200, 200)};
    PutPicture(folder, "gif-one", kGif, fixtures::MakeGif(palette, {frame}));
    fixtures::GifFrame clear = frame;
    clear.TransparentIndex = 4;
    PutPicture(folder, "gif-two", kGif, fixtures::MakeGif(palette, {clear, frame}, 4));

    PutPicture(folder, "cr2-dng", kCr2, fixtures::MakeLinearDng(tiny));
    PutPicture(folder, "cr2-dng-rotated", kCr2, fixtures::MakeLinearDng(tiny, 6));
}

void SettingsSeeds(const QString& folder)
{
    Put(folder, "defaults.ini",
        "[Main]\r\nSearchJPG=1\r\nSearchBMP=1\r\nSearchGIF=1\r\nSearchPNG=1\r\nSearchTIFF=0\r\nSearchCR2=0\r\n"
        "SearchSimilar=1\r\nMoveToRecycle=1\r\nDeleteWithoutAsking=0\r\nSearchOnlyIdentical=0\r\n"
        "AutoCheckUpdates=0\r\nScanSubfolders=1\r\nMinPicWidth=100\r\nMinPicHeight=100\r\n");
    Put(folder, "hex-and-signs.ini", "[main]\nminpicwidth = 0x7FFFFFFF\nMinPicHeight=-5\nSearchGIF=$1F\nSearchPNG=+0\n");
    Put(folder, "quotes-comments.ini",
        "; note\n[Other]\nkey=value\n\n[ Main ]\nMinPicWidth=\"300\"\nMinPicHeight='40'\n;SearchJPG=0\n[Main]\nSearchJPG=0\n");
    Put(folder, "bom-utf8.ini", "\xEF\xBB\xBF[Main]\r\nMinPicWidth=7\r\nName=\xC3\xA9t\xC3\xA9\r\n");
    Put(folder, "utf16.ini", QByteArray("\xFF\xFE[\0M\0a\0i\0n\0]\0\r\0\n\0S\0e\0a\0r\0c\0h\0C\0R\0\x32\0=\0\x31\0", 38));
    Put(folder, "latin1.ini", "[Main]\nPath=\xE9\xFF\x80\nMinPicWidth=0xFFFFFFFF\n");
}

void ReplySeeds(const QString& folder)
{
    const auto reply = [](uint8_t flags, int status, const QByteArray& contentType, const QByteArray& body) {
        return QByteArray(1, static_cast<char>(flags)) + static_cast<char>(status >> 8) +
               static_cast<char>(status & 0xFF) + contentType + '\n' + body;
    };
    Put(folder, "current", reply(0, 200, "text/plain", "1.2.1"));
    Put(folder, "newer-utf8", reply(0, 200, "text/plain; charset=\"UTF-8\"", "2.0 \xE2\x80\x94 beta"));
    Put(folder, "utf16", reply(0, 200, "text/html; charset=utf-16", QByteArray("\xFF\xFE\x31\0.\0\x33\0", 8)));
    Put(folder, "redirect", reply(0, 301, "text/html", "moved"));
    Put(folder, "failed", reply(1, 0, "", ""));
    Put(folder, "too-large", reply(2, 200, "text/plain", QByteArray(5000, '9')));
}

// A cache file and a memo as a search writes them, each behind its selector byte (even: cache, odd: memo),
// and each without its check for the targets' sealing mode (bit 3 for the cache target, odd for the memo's).
void CacheSeeds(const QString& folder)
{
    QTemporaryDir work;
    const QString cacheFolder = work.path() + QLatin1Char('/');
    SignatureCache cache(cacheFolder);
    for (int i = 0; i < kFuzzPictures; ++i) {
        FileKey key;
        key.Size = 100 + i;
        PreparedPicture picture;
        picture.Decoded = i != 0;
        picture.Size.Height = 120 + i;
        picture.Size.Width = 160;
        picture.Size.ScaleDenom = 1;
        picture.HeadRead = picture.Decoded;
        picture.Head.fill(static_cast<uint8_t>(i));
        picture.Signed = i >= 2;
        picture.Pos[0] = {static_cast<uint8_t>(i), 3};
        picture.Neg[0] = {5, static_cast<uint8_t>(i)};
        cache.Store(FuzzPicturePath(i), key, {100, 100, true}, picture);
    }
    cache.Save();
    const QByteArray cacheBytes = fixtures::ReadBytes(cache.FileFor(QString::fromLatin1(kFuzzFolder)));
    Put(folder, QStringLiteral("cache"), QByteArray(1, '\0') + cacheBytes);
    Put(folder, QStringLiteral("cache-unsealed"), QByteArray(1, '\x08') + cacheBytes.chopped(kFnvCheckBytes));

    Catalogue catalogue;
    MakeFuzzListing(catalogue);
    TSettings settings;
    PartnerMemo memo(cacheFolder, catalogue, settings);
    for (int32_t i = 0; i < kFuzzPictures; ++i) {
        FileKey key;
        key.Size = 100 + i;
        memo.Note(i, key);
        memo.Keep(i, PartnerMatch{i - 1, 50.0 + i});
    }
    memo.Save();
    const QByteArray memoBytes = fixtures::ReadBytes(memo.FileName());
    Put(folder, QStringLiteral("memo"), QByteArray(1, '\1') + memoBytes);
    Put(folder, QStringLiteral("memo-unsealed"), QByteArray(1, '\x09') + memoBytes.chopped(kFnvCheckBytes));
    Put(folder + QStringLiteral("/../memo"), QStringLiteral("memo"), QByteArray(1, '\0') + memoBytes);
    Put(folder + QStringLiteral("/../memo"), QStringLiteral("memo-unsealed"),
        QByteArray(1, '\1') + memoBytes.chopped(kFnvCheckBytes));
}

// Without its check at the end of each line, for the journal target's sealing mode.
QByteArray Unsealed(const QByteArray& text)
{
    QByteArray out;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.isEmpty())
            out += line.left(line.lastIndexOf(' ')) + '\n';
    }
    return out;
}

// A journal of each action and outcome, a remembered pair list, a window state; the journal both as it
// stands (first byte even) and without its checks (odd).
void HistorySeeds(const QString& out)
{
    QTemporaryDir work;
    const QString journalFile = work.filePath(QStringLiteral("actions.journal"));
    {
        ActionJournal journal(journalFile);
        const int64_t batch = journal.NewStep();
        const QByteArray digest(64, 'a');
        const int64_t trashed = journal.Begin(batch, JournalAction::Trash, QStringLiteral("/p/a b.jpg"), QString(),
                                              10, 1000, digest);
        journal.Confirm(trashed, FileOpResult{true, 0, false, QStringLiteral("/t/files/a b.jpg")});
        const int64_t moved = journal.Begin(batch, JournalAction::Move, QStringLiteral("/p/c%.png"),
                                            QStringLiteral("/q/c%.png"), 20, 2000, digest);
        journal.Confirm(moved, FileOpResult{true, 0, false, QStringLiteral("/q/c%.png")});
        journal.MarkRestored(moved);
        const int64_t failed = journal.Begin(0, JournalAction::Delete, QStringLiteral("/p/d.gif"), QString(), -1, 0,
                                             QByteArray());
        journal.Confirm(failed, FileOpResult{false, 13, false, QString()});
        journal.Begin(0, JournalAction::Delete, QStringLiteral("/p/e.tif"), QString(), 5, 3000, digest);
    }
    const QByteArray journal = fixtures::ReadBytes(journalFile);
    Put(out + QStringLiteral("/journal"), QStringLiteral("as-written"), QByteArray(1, '\0') + journal);
    Put(out + QStringLiteral("/journal"), QStringLiteral("unsealed"), QByteArray(1, '\1') + Unsealed(journal));

    const QString pairsFile = work.filePath(QStringLiteral("not-duplicates"));
    {
        RememberedPairs pairs(pairsFile);
        pairs.Remember({10, QByteArray(64, 'a')}, QStringLiteral("/p/a b.jpg"), {20, QByteArray(64, 'b')},
                       QStringLiteral("/p/\u00e9%.png"));
        pairs.Remember({30, QByteArray(64, 'c')}, QString(), {10, QByteArray(64, 'a')}, QStringLiteral("/q"));
        pairs.Save();
    }
    Put(out + QStringLiteral("/pairs"), QStringLiteral("two"), fixtures::ReadBytes(pairsFile));

    const QString windowFile = WindowMemoryFile(work.path() + QLatin1Char('/'));
    WindowMemory memory;
    memory.Folders = {{QStringLiteral("/p/"), false}, {QStringLiteral("/q r/"), true}};
    memory.Geometry = QByteArray("\x01\xd9\xd0\xcb\0\x03", 6);
    memory.Splitters[QStringLiteral("main")] = QByteArray("\0\0\0\xff", 4);
    memory.Columns[QStringLiteral("pairs")] = {120, 80, 0};
    memory.SortColumn = 2;
    memory.SortDescending = true;
    memory.View = QStringLiteral("groups");
    WriteWindowMemory(windowFile, memory);
    Put(out + QStringLiteral("/window"), QStringLiteral("full"), fixtures::ReadBytes(windowFile));
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    PictureSeeds(out + QStringLiteral("/picture"));
    CacheSeeds(out + QStringLiteral("/cache"));
    HistorySeeds(out);
    SettingsSeeds(out + QStringLiteral("/settings"));
    ReplySeeds(out + QStringLiteral("/update_reply"));
    return 0;
}
