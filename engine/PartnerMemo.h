// The partners an earlier search found, kept beside the signature cache: a search over the same pictures
// with the same settings takes each picture's partner from it for as long as every picture so far still has
// the file key it had then, and compares only from the first changed picture on. Matching is what is left
// of a second search once the signature cache has spared the decoding.
#pragma once

#include "engine/Catalogue.h"
#include "engine/MatchingRules.h"
#include "platform/FileKey.h"
#include "settings/Settings.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class PartnerMemo {
public:
    // Reads the memo of this very listing (the catalogue's paths in order, and the settings that decide the
    // partners) from `folder`, if there is one that can be believed.
    PartnerMemo(QString folder, const Catalogue& catalogue, const TSettings& settings);

    // For every picture in order, before anything else is decided about it: its file key as read before its
    // file was (none when unknown, which ends the recall).
    void Note(int32_t i, const std::optional<FileKey>& key);
    // The partner the earlier search found for picture i, while pictures 0..i are all unchanged.
    std::optional<PartnerMatch> Recall(int32_t i);
    // What the matcher decided for picture i, recalled or found.
    void Keep(int32_t i, const PartnerMatch& match);

    // Writes the memo of this search's pictures so far, unless it was recalled whole; drops the oldest
    // memos beyond a few. False when it could not be written (which only costs time next search).
    bool Save();
    int Recalled() const { return recalled_; }
    QString FileName() const { return file_; }

private:
    struct Entry {
        uint64_t KeyHash = 0;
        int32_t Partner = -1;
        double Score = 0;
        bool Searched = false;  // the picture reached the partner search
    };
    bool load();
    bool lastWentAlike() const;

    QString folder_;
    QString file_;
    uint64_t listing_ = 0;
    int32_t count_ = 0;
    std::vector<Entry> earlier_;
    std::vector<Entry> now_;
    bool unchanged_ = true;  // every picture noted so far matches the earlier search
    int recalled_ = 0;
};
