// Decodes one file of any readable format and computes its signature, as the search does for each picture.
// Built with FUZZ_EXTENSION (such as "webp"), the whole input is one file of that type, so that the decoder
// choice sends it to one library only; otherwise the first byte names the format.
#include "engine/PairMatcher.h"
#include "fuzz/FuzzFormats.h"
#include "fuzz/FuzzWork.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Qt's image plugins are found through the application object.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef FUZZ_EXTENSION
    const QString path = FuzzWorkFolder().filePath(QStringLiteral("in.") + QLatin1String(FUZZ_EXTENSION));
#else
    if (size < 1)
        return 0;
    const QString path = FuzzWorkFolder().filePath(QString::fromLatin1(FuzzPictureName(data[0])));
    ++data;
    --size;
#endif
    WriteFuzzInput(path, data, size);

    // The matcher's own source: the same decoding, grey palette and signature steps as a search.
    DecodingPictureSource source(100, 100);
    auto m = std::make_unique<TSignatureMatrix>();
    TWaveletCoefs pos{}, neg{};
    try {
        const LoadResult size = source.Measure(0, path);
        Require(size.Width > 0 && size.Height > 0);  // a decoded picture always has a size
        source.Sign(*m, pos, neg);
        // The comparison pane's preview takes the same decoder at another reduction.
        LoadPreviewPicture(path, 2);
    } catch (const PictureError&) {
        // Damaged input is expected to fail this way and only this way.
    }
    return 0;
}
