// Finds, for each picture in catalogue order, the nearest earlier picture that is byte-identical or whose
// wavelet signature agrees, and records that pair.
#pragma once

#include "engine/Catalogue.h"
#include "engine/FileKey.h"
#include "engine/PictureSupply.h"
#include "engine/SearchHost.h"
#include "picture/Bitmap.h"
#include "picture/PictureLoader.h"
#include "picture/PictureProcessing.h"
#include "settings/Settings.h"

#include <functional>

constexpr int kSmallestSide = 5;            // below this a picture carries too little for a signature
constexpr double kAspectLimit = 1.5;        // proportions may differ by this factor and still pair
constexpr double kSimilarityThreshold = 50; // score at which a candidate becomes the partner

// Where the matcher gets each picture's size and signature. The search decodes files; tests and benchmarks
// feed prepared signatures through the same steps.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // Full size of picture `index` at `path`. Throws (PictureError or any std::exception) when it cannot be
    // decoded; the matcher then leaves the picture out.
    virtual LoadResult Measure(int32_t index, const QString& path) = 0;
    // Signature of the picture measured last: the sign matrix (+1, -1, 0; (0, 0) always 0) and the kept
    // positive and negative positions.
    virtual void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) = 0;
    // Called before Measure, outside its error handling. A source that prepares pictures ahead waits here
    // for picture `index`, letting `host` process messages while it waits.
    virtual void WaitUntilReady(int32_t /*index*/, const QString& /*path*/, SearchHost& /*host*/) {}
    // The head of the picture measured last into `head`; a head that cannot be read leaves `head` as it
    // was (the matcher's buffer then still holds the last head read).
    virtual void ReadHead(const QString& path, TPreBuffer& head) { ReadFileHead(path, head); }
    // After WaitUntilReady: what stat() said of picture `index`'s file before it was read, when the source
    // took it; nothing otherwise.
    virtual std::optional<FileKey> FileKeyOf(int32_t /*index*/) { return std::nullopt; }
};

// The search's source: LoadWorkPicture onto its own 128 x 128 work bitmap, then grey palette, average
// brightness, signature matrix and positions.
class DecodingPictureSource : public PictureSource {
public:
    DecodingPictureSource(int32_t minPicWidth, int32_t minPicHeight);
    LoadResult Measure(int32_t index, const QString& path) override;
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override;
    // Average brightness found by the last Sign (for diagnostics).
    int LastAverage() const { return lastAverage_; }

private:
    TBitmap work_;
    int32_t minPicWidth_;
    int32_t minPicHeight_;
    int lastAverage_ = 0;
};

// True when the proportions of the two pictures (orientation ignored) differ by at most kAspectLimit.
// Both sides of both pictures must be at least 1.
bool AspectCompatible(int32_t width1, int32_t height1, int32_t width2, int32_t height2);

// Number of `earlier`'s kept positions whose sign agrees with the current sign matrix; empty (0, 0) slots
// never count. At most 500 look-ups, at most 250 when signatures come from the signature code.
int SignatureAgreement(const TPicInfo& earlier, const TSignatureMatrix& m);

// Similarity of a pair with score s (0..100): (s - 50) * 2, kept within 1..100.
double SimilarityFromScore(double score);

// Compares two files completely; the matcher hands in one that processes messages between blocks.
using FilesEqualFn = std::function<bool(const QString& pathA, const QString& pathB)>;

struct PartnerMatch {
    int32_t Partner = -1;  // index of the earlier picture, -1 when none passed
    double Score = 0;      // 100 for identical files, else count * 100 / 250
};

// The plain candidate search, kept as the reference that faster searches must agree with: j from i - 1 down
// to 0, the first picture in stage Full with compatible proportions that is byte-identical (equal heads,
// then equal files) or, unless onlyIdentical, agrees in at least 125 signed positions with `m`. Equal heads
// with different files give score 0 without a signature comparison.
PartnerMatch FindPartnerReference(const Catalogue& catalogue, int32_t i, const TSignatureMatrix& m,
                                  bool onlyIdentical, const FilesEqualFn& filesEqual);

// Runs over Pictures[0 .. PicCapacity-1] after the catalogue has been trimmed and the pair list allocated,
// with the threads and cache of DefaultPictureSupply().
void MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host);
// The same with pictures decoded and signed on worker threads ahead of the matcher, and the signature cache
// when `supply` asks for it. The results are those of the plain sequential run.
void MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host,
                   const PictureSupplyOptions& supply);
class PartnerMemo;

// The plain sequential run, on this thread, with sizes and signatures taken from `source`. Long candidate scans
// are spread over `matcherThreads` threads (this one included; 0: one per core). With a memo, partners of an
// earlier search over unchanged files are taken from it instead of being searched for again.
void MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host, PictureSource& source,
                   int matcherThreads = 0, PartnerMemo* memo = nullptr);
