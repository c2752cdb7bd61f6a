// Finds, for each picture in catalogue order, the nearest earlier picture that is byte-identical or whose
// wavelet signature agrees, and records that pair.
#pragma once

#include "engine/Catalogue.h"
#include "engine/SearchHost.h"
#include "settings/Settings.h"

// Runs over Pictures[0 .. PicCapacity-1] after the catalogue has been trimmed and the pair list allocated.
void MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host);
