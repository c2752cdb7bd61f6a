// The signature cache's and the partner memo's files as the program meets them: any bytes in place of a
// folder's cache file or a listing's memo, read on the first lookup or at construction.
#include "engine/Catalogue.h"
#include "engine/PartnerMemo.h"
#include "engine/SignatureCache.h"
#include "fuzz/FuzzListing.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir* workFolder = nullptr;
Catalogue* catalogue = nullptr;

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void WriteInput(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    Require(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == qint64(size));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const QString base = QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/voralin-fuzz-XXXXXX")
                                                                   : QString();
    workFolder = base.isEmpty() ? new QTemporaryDir : new QTemporaryDir(base);
    Require(workFolder->isValid());
    catalogue = new Catalogue;
    MakeFuzzListing(*catalogue);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString folder = workFolder->path() + QLatin1Char('/');
    const uint8_t selector = data[0];
    ++data;
    --size;
    if (selector % 2 == 0) {
        SignatureCache cache(folder);
        WriteInput(cache.FileFor(QString::fromLatin1(kFuzzFolder)), data, size);
        FileKey key;
        key.Size = 100 + selector / 2 % kFuzzPictures;
        for (int i = 0; i < kFuzzPictures; ++i) {
            const std::optional<PreparedPicture> found =
                cache.Find(FuzzPicturePath(i), key, {100, 100, true});
            if (found && found->Decoded)
                Require(found->Size.ScaleDenom >= 1 && found->Size.Height >= 0 && found->Size.Width >= 0);
        }
        return 0;
    }
    TSettings settings;
    const QString file = PartnerMemo(folder, *catalogue, settings).FileName();
    WriteInput(file, data, size);
    PartnerMemo memo(folder, *catalogue, settings);
    for (int32_t i = 0; i <= catalogue->LastPicIndex; ++i) {
        FileKey key;
        key.Size = 100 + i;
        memo.Note(i, key);
        if (const std::optional<PartnerMatch> match = memo.Recall(i))
            Require(match->Partner >= -1 && match->Partner < i);
    }
    QFile::remove(file);
    return 0;
}
