// The signature cache's and the partner memo's files as the program meets them: any bytes in place of a
// folder's cache file or a listing's memo, read on the first lookup or at construction.
// The first byte chooses: bit 0 the memo, bits 1 and 2 the size looked up, bit 3 the check appended first.
#include "engine/Catalogue.h"
#include "engine/SignatureCache.h"
#include "fuzz/FuzzListing.h"
#include "fuzz/FuzzMemo.h"
#include "fuzz/FuzzWork.h"

#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString folder = FuzzWorkFolder().path() + QLatin1Char('/');
    const uint8_t selector = data[0];
    ++data;
    --size;
    const bool seal = (selector & 8) != 0;
    if (selector % 2 == 0) {
        SignatureCache cache(folder);
        WriteFuzzInput(cache.FileFor(QString::fromLatin1(kFuzzFolder)), data, size, seal);
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
    FuzzMemoRound(folder, FuzzListingCatalogue(), data, size, seal);
    return 0;
}
