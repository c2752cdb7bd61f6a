// The in-memory settings record, one field per key of the settings file.
#pragma once

#include <cstdint>

struct TSettings {
    bool SearchJPG = true;
    bool SearchBMP = true;
    bool SearchGIF = true;
    bool SearchPNG = true;
    bool SearchTIFF = false;
    bool SearchCR2 = false;
    bool SearchSimilar = true;  // stored and written back, used by nothing else
    bool MoveToRecycle = true;
    bool DeleteWithoutAsking = false;
    bool SearchOnlyIdentical = false;
    bool AutoCheckUpdates = false;
    bool ScanSubfolders = true;  // mirrors the main window's check box
    int32_t MinPicWidth = 100;
    int32_t MinPicHeight = 100;
    // The newer picture types, stored after the fourteen keys above; camera raw is slow, so it starts off.
    bool SearchWEBP = true;
    bool SearchHEIC = true;
    bool SearchAVIF = true;
    bool SearchJXL = true;
    bool SearchRAW = false;
    // Turn pictures as their files say before they are measured and signed; off, every picture is taken as
    // stored.
    bool FollowOrientation = false;

    // Whether any row of the picture-type table is switched on.
    bool AnyTypeEnabled() const;
};
