// How a search gets its pictures: how many threads decode and sign them, and whether the signature cache
// is used. The window and voralin-cli hand them to their search driver; tests pass their own.
#pragma once

#include <QString>

class CandidateVeto;

struct PictureSupplyOptions {
    int Threads = 0;        // decoding threads; 0 or less means one per core
    bool UseCache = false;  // off unless the program turns it on, so tests and tools never write the user's cache
    QString CacheFolder;    // empty: DefaultSignatureCacheFolder()
    // Pairs the user said are not duplicates, passed over by the matcher; null when nothing is remembered.
    // The partner memo is not used with one: it remembers partners that a veto may now refuse.
    CandidateVeto* Veto = nullptr;
};

// The number of decoding threads the options stand for: Threads when above 0, else the core count (at least 1).
int EffectiveThreadCount(const PictureSupplyOptions& options);

// ~/.cache/Voralin/ (under XDG_CACHE_HOME when set), the same for the window and voralin-cli whatever
// application name each one carries. Ends with "/".
QString DefaultSignatureCacheFolder();
