// The partner memo alone: the whole input is the memo file, so that its reader gets the whole run.
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
    FuzzMemoRound(workFolder->path() + QLatin1Char('/'), *catalogue, data, size);
    return 0;
}
