// Pairs the user said are "not a duplicate", remembered by the content of both files (size and SHA-256), not
// by their paths, so a judgement survives renames and moves. Kept in a file of its own under HistoryFolder().
#pragma once

#include "engine/Catalogue.h"
#include "engine/MatchingRules.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// What a file is, as far as remembering goes.
struct FileIdentity {
    int64_t Size = 0;
    QByteArray Digest;  // FileDigest
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
        return std::tie(a.Size, a.Digest) < std::tie(b.Size, b.Digest);
    }
};

// The identity of the file at `path` now; nothing when it cannot be read.
std::optional<FileIdentity> IdentityOf(const QString& path);

struct RememberedPair {
    FileIdentity First;   // the smaller identity of the two, so a pair has one form whatever the order
    FileIdentity Second;
    QString FirstPath;    // where the files were when the pair was remembered, for the review list
    QString SecondPath;
};

class RememberedPairs {
public:
    // Reads `file`; a missing or damaged file gives no pairs (damaged lines are left out).
    explicit RememberedPairs(QString file);
    // HistoryFolder() + "not-duplicates".
    static QString DefaultFile();
    const QString& File() const { return file_; }

    bool Empty() const { return pairs_.empty(); }
    size_t Count() const { return pairs_.size(); }
    // In the order they were remembered.
    std::vector<RememberedPair> Pairs() const;
    bool Contains(const FileIdentity& a, const FileIdentity& b) const;
    // True when some remembered pair has a file of this size: only such files need their content read.
    bool HasSize(int64_t size) const { return sizes_.count(size) > 0; }

    // Adds the pair (in either order); false when it was known already or both are one content.
    bool Remember(const FileIdentity& a, const QString& pathA, const FileIdentity& b, const QString& pathB);
    bool Forget(const FileIdentity& a, const FileIdentity& b);
    void Clear();
    // Writes the file at once; false when it could not be written (the old file then stays).
    bool Save() const;

private:
    using Key = std::pair<FileIdentity, FileIdentity>;
    static Key keyOf(const FileIdentity& a, const FileIdentity& b);
    void rebuildSizes();

    QString file_;
    std::vector<RememberedPair> pairs_;
    std::set<Key> keys_;
    std::unordered_multiset<int64_t> sizes_;
};

// "Pairs passed over as not duplicates: N", as the window and voralin-cli report it.
QString PassedOverText(int64_t count);

// The matcher's veto over remembered pairs. A file's content is read only when its recorded size is one a
// remembered pair holds, and then once per search.
class RememberedPairVeto : public CandidateVeto {
public:
    explicit RememberedPairVeto(const RememberedPairs& pairs) : pairs_(pairs) {}
    bool Refuses(const Catalogue& catalogue, int32_t earlier, int32_t current) override;
    // Candidates passed over so far.
    int64_t Passed() const { return passed_; }

private:
    const std::optional<FileIdentity>& identityOf(const Catalogue& catalogue, int32_t index);

    const RememberedPairs& pairs_;
    std::unordered_map<int32_t, std::optional<FileIdentity>> identities_;
    int64_t passed_ = 0;
};
