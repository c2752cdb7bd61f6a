// The remembered "not a duplicate" pairs as the program meets them: any bytes as the file, read, saved and
// read again, which must give the same pairs.
#include "fuzz/FuzzWork.h"
#include "history/RememberedPairs.h"

#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = FuzzWorkFolder().filePath(QStringLiteral("not-duplicates"));
    WriteFuzzInput(file, data, size);
    const RememberedPairs pairs(file);
    const std::vector<RememberedPair> read = pairs.Pairs();
    Require(read.size() == pairs.Count());
    for (const RememberedPair& p : read) {
        Require(p.First < p.Second && p.First.Size >= 0);
        Require(pairs.Contains(p.Second, p.First) && pairs.HasSize(p.First.Size) && pairs.HasSize(p.Second.Size));
    }
    Require(pairs.Save());
    const std::vector<RememberedPair> again = RememberedPairs(file).Pairs();
    Require(again.size() == read.size());
    for (size_t i = 0; i < read.size(); ++i)
        Require(again[i].First == read[i].First && again[i].Second == read[i].Second);
    return 0;
}
