// One round of the partner memo over the fuzz listing: any bytes in place of the memo file (with `seal`, the
// bytes and their check), read at construction, then every picture noted and recalled as a search does.
#pragma once

#include "engine/Catalogue.h"
#include "engine/PartnerMemo.h"
#include "fuzz/FuzzListing.h"
#include "fuzz/FuzzWork.h"

#include <QFile>

inline void FuzzMemoRound(const QString& folder, const Catalogue& catalogue, const uint8_t* data, size_t size,
                          bool seal)
{
    TSettings settings;
    const QString file = PartnerMemo(folder, catalogue, settings).FileName();
    WriteFuzzInput(file, data, size, seal);
    PartnerMemo memo(folder, catalogue, settings);
    for (int32_t i = 0; i <= catalogue.LastPicIndex; ++i) {
        FileKey key;
        key.Size = 100 + i;
        memo.Note(i, key);
        if (const std::optional<PartnerMatch> match = memo.Recall(i))
            Require(match->Partner >= -1 && match->Partner < i);
    }
    QFile::remove(file);
}
