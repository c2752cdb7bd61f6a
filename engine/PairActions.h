// What the results browser's commands do to the catalogue, apart from any window: which pair and picture
// an action targets, what a delete or move does to the pair list, and which row is selected afterwards.
#pragma once

#include "engine/Catalogue.h"

#include <cstdint>
#include <optional>

// Which picture of the pair a button acts on.
enum class PairSide { Left, Right };

// The row and picture a file action works on.
struct ActionTarget {
    int Row = -1;
    int32_t PicIndex = -1;
};

// True when the index names a picture record.
bool ValidPicture(const Catalogue& catalogue, int32_t picIndex);

// The pair at `row` of a list of `rowCount` rows, when the row lies in both the list and the pair list
// and both its pictures are records.
std::optional<TPicturePair> PairAtRow(const Catalogue& catalogue, int rowCount, int row);

// The picture on `side` of the pair at `row`; nothing when the list is empty, the row lies outside it or
// the pair list, or the picture is not a record.
std::optional<ActionTarget> ActionTargetOf(const Catalogue& catalogue, int rowCount, int row, PairSide side);

// The index of the listed pair of `left` and `right` in that order, or -1: where a pair went after a sort.
int32_t PairIndexOf(const Catalogue& catalogue, int32_t left, int32_t right);

// A picture whose file was deleted or moved: every pair that contains it leaves the list and it is marked
// deleted; its record stays, so the indices of the others hold.
void ForgetPicture(Catalogue& catalogue, int32_t picIndex);

// The row to select after a delete or move at `row`, done or refused: the same position, or the last row
// when the list got shorter; -1 when no pair is left.
int RowAfterFileAction(const Catalogue& catalogue, int row);
// The same for a list of `rowCount` rows (the rows shown under a filter).
int RowAfterFileAction(int rowCount, int row);
