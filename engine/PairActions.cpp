// The results browser's decisions over the catalogue.
#include "engine/PairActions.h"

#include <algorithm>
#include <cassert>

bool ValidPicture(const Catalogue& catalogue, int32_t picIndex) {
    return picIndex >= 0 && picIndex <= catalogue.LastPicIndex &&
           static_cast<size_t>(picIndex) < catalogue.Pictures.size();
}

namespace {

bool RowInPairList(const Catalogue& catalogue, int rowCount, int row) {
    return rowCount > 0 && row >= 0 && row < rowCount && row <= catalogue.LastPairIndex &&
           static_cast<size_t>(row) < catalogue.PicturePairs.size();
}

}  // namespace

std::optional<TPicturePair> PairAtRow(const Catalogue& catalogue, int rowCount, int row) {
    if (!RowInPairList(catalogue, rowCount, row))
        return std::nullopt;
    const TPicturePair& pair = catalogue.PicturePairs[static_cast<size_t>(row)];
    if (!ValidPicture(catalogue, pair.PicIndex1) || !ValidPicture(catalogue, pair.PicIndex2))
        return std::nullopt;
    return pair;
}

std::optional<ActionTarget> ActionTargetOf(const Catalogue& catalogue, int rowCount, int row, PairSide side) {
    if (!RowInPairList(catalogue, rowCount, row))
        return std::nullopt;
    const TPicturePair& pair = catalogue.PicturePairs[static_cast<size_t>(row)];
    const int32_t picIndex = side == PairSide::Left ? pair.PicIndex1 : pair.PicIndex2;
    if (!ValidPicture(catalogue, picIndex))
        return std::nullopt;
    return ActionTarget{row, picIndex};
}

int32_t PairIndexOf(const Catalogue& catalogue, int32_t left, int32_t right) {
    const int32_t last = std::min<int32_t>(catalogue.LastPairIndex, static_cast<int32_t>(catalogue.PicturePairs.size()) - 1);
    for (int32_t i = 0; i <= last; ++i) {
        const TPicturePair& pair = catalogue.PicturePairs[static_cast<size_t>(i)];
        if (pair.PicIndex1 == left && pair.PicIndex2 == right)
            return i;
    }
    return -1;
}

void ForgetPicture(Catalogue& catalogue, int32_t picIndex) {
    // Callers take the index from ActionTargetOf, which has checked it.
    assert(ValidPicture(catalogue, picIndex));
    catalogue.RemovePicturePairs(picIndex);
    catalogue.Pictures[static_cast<size_t>(picIndex)].Deleted = true;
}

int RowAfterFileAction(const Catalogue& catalogue, int row) {
    return RowAfterFileAction(catalogue.PairCapacity, row);
}

int RowAfterFileAction(int rowCount, int row) {
    if (rowCount <= 0)
        return -1;
    return std::min(rowCount - 1, row);
}
