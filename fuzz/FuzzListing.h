// The small listing the cache target reads its memo for; the seeds are made for the same one.
#pragma once

#include "engine/Catalogue.h"

#include <QString>

inline constexpr int kFuzzPictures = 4;
inline const char kFuzzFolder[] = "/pictures/";

inline void MakeFuzzListing(Catalogue& catalogue)
{
    catalogue.AllocateInitial();
    catalogue.AppendFolderPath(QString::fromLatin1(kFuzzFolder));
    for (int i = 0; i < kFuzzPictures; ++i) {
        TPicInfo record;
        record.FileName = QStringLiteral("p%1.jpg").arg(i);
        record.PathInd = catalogue.LastPathIndex;
        record.Size = 100 + i;
        catalogue.AppendPicture(std::move(record));
    }
    catalogue.TrimPicturesAndPaths();
}

inline QString FuzzPicturePath(int i)
{
    return QString::fromLatin1(kFuzzFolder) + QStringLiteral("p%1.jpg").arg(i);
}

// The listing made once for the whole run.
inline const Catalogue& FuzzListingCatalogue()
{
    static const Catalogue* const catalogue = [] {
        auto* made = new Catalogue;
        MakeFuzzListing(*made);
        return made;
    }();
    return *catalogue;
}
