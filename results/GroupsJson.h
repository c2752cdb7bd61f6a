// The groups as JSON for voralin-cli --groups.
#pragma once

#include "engine/Catalogue.h"
#include "results/PictureFacts.h"
#include "results/ResultGroups.h"

#include <QByteArray>

// {"groups": [{"files": [{"path", "size", "width", "height", "modified"}...], "pairs": [{"first", "second",
// "similarity", "hardLink"}...], "freedBytes"}...]} in UTF-8, groups in the order given. "first" and "second" index the
// group's "files" (the pair's first and second picture); "modified" is UTC in ISO 8601 with milliseconds,
// null when the file has gone; sizes in bytes, dimensions in pixels, similarity as found (1 to 100);
// "hardLink" is true when the two are names of one file, so removing either frees nothing.
QByteArray GroupsJson(const Catalogue& catalogue, const ResultGroups& groups, const PictureFacts& facts);
