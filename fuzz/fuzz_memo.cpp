// The partner memo alone, so that its reader gets the whole run. The first byte chooses: even, the rest is the
// memo file; odd, the rest gets its check appended first.
#include "engine/Catalogue.h"
#include "fuzz/FuzzListing.h"
#include "fuzz/FuzzMemo.h"
#include "fuzz/FuzzWork.h"

#include <QTemporaryDir>

#include <cstdint>

namespace {

QTemporaryDir* workFolder = nullptr;
Catalogue* catalogue = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    workFolder = MakeFuzzWorkFolder();
    catalogue = new Catalogue;
    MakeFuzzListing(*catalogue);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    FuzzMemoRound(workFolder->path() + QLatin1Char('/'), *catalogue, data + 1, size - 1, data[0] % 2 == 1);
    return 0;
}
