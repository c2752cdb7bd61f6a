// The partner memo alone, so that its reader gets the whole run. The first byte chooses: even, the rest is the
// memo file; odd, the rest gets its check appended first.
#include "engine/Catalogue.h"
#include "fuzz/FuzzListing.h"
#include "fuzz/FuzzMemo.h"
#include "fuzz/FuzzWork.h"

#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    FuzzMemoRound(FuzzWorkFolder().path() + QLatin1Char('/'), FuzzListingCatalogue(), data + 1, size - 1, data[0] % 2 == 1);
    return 0;
}
