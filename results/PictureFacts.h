// File facts of the pictures in the results, read once per search and kept by picture index: identity and
// link count (so names of one file count once), size and modification time for the keep-rules.
#pragma once

#include "engine/Catalogue.h"
#include "platform/FileFacts.h"

#include <cstdint>
#include <vector>

class PictureFacts {
public:
    // Forgets everything; a new search starts here.
    void Reset();
    // Reads the facts of each listed picture not read before. A picture whose file has gone is remembered
    // as gone.
    void Load(const Catalogue& catalogue, const std::vector<int32_t>& pictures);
    // Records facts as read (tests and callers that already have them).
    void Set(int32_t picture, const FileFacts& facts);
    void SetGone(int32_t picture);

    // The picture's facts. One never read is described by the catalogue alone: its recorded size, the
    // folder walk's time (DosTimeToNanoseconds), a file of one name of its own.
    FileFacts Of(const Catalogue& catalogue, int32_t picture) const;
    // False only for a picture read and found gone.
    bool Exists(int32_t picture) const;
    // Both pictures are there and are two names of one file (a hard link): removing either frees nothing.
    bool OneFile(const Catalogue& catalogue, int32_t a, int32_t b) const;

private:
    enum class State : uint8_t { Unknown, Known, Gone };
    void grow(int32_t picture);
    std::vector<State> state_;
    std::vector<FileFacts> facts_;
};

// The catalogue's MS-DOS time as nanoseconds since 1970, its local date and time read as UTC; 0 for a time
// that is not a valid date.
int64_t DosTimeToNanoseconds(int32_t dosTime);
