// Finds, for each picture in catalogue order, the nearest earlier picture that is byte-identical or whose
// wavelet signature agrees, and records that pair.
#pragma once

#include "engine/Catalogue.h"
#include "engine/MatchingRules.h"
#include "platform/FileKey.h"
#include "engine/PictureSupply.h"
#include "engine/SearchHost.h"
#include "picture/Bitmap.h"
#include "picture/PictureLoader.h"
#include "picture/PictureProcessing.h"
#include "settings/Settings.h"

#include <functional>

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
    // With `followOrientation` pictures are turned as their files say before they are measured and signed.
    DecodingPictureSource(int32_t minPicWidth, int32_t minPicHeight, bool followOrientation = false);
    LoadResult Measure(int32_t index, const QString& path) override;
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override;
    // Average brightness found by the last Sign (for diagnostics).
    int LastAverage() const { return lastAverage_; }

private:
    TBitmap work_;
    int32_t minPicWidth_;
    int32_t minPicHeight_;
    bool followOrientation_;
    int lastAverage_ = 0;
};

// The plain candidate search, kept as the reference that faster searches must agree with: j from i - 1 down
// to 0, the first picture in stage Full with compatible proportions that is byte-identical (equal heads and
// recorded sizes, then equal files: score 100) or, unless onlyIdentical, agrees in at least 125 signed
// positions with `m`. A candidate whose head is equal but whose file is not is judged by its signature like
// any other, so pictures from one encoder that share their first bytes can still pair.
// With a veto, a candidate it refuses is passed over like one that does not match.
PartnerMatch FindPartnerReference(const Catalogue& catalogue, int32_t i, const TSignatureMatrix& m,
                                  bool onlyIdentical, const FilesEqualFn& filesEqual, CandidateVeto* veto = nullptr);

// How a run of the matcher ended: every picture taken, or left early for a stop or a close.
enum class MatchEnd { AllTaken, Stopped };

// Runs over Pictures[0 .. PicCapacity-1] after the catalogue has been trimmed and the pair list allocated,
// with pictures decoded and signed on worker threads ahead of the matcher, and the signature cache when
// `supply` asks for it. The results are those of the plain sequential run. The cache is written after the
// last picture while `host` processes messages; a stop then lets the writing finish, a close (the
// catalogue's release requested) ends it after the file being written, so the window need not wait.
MatchEnd MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host,
                       const PictureSupplyOptions& supply = {});
class PartnerMemo;

// The plain sequential run, on this thread, with sizes and signatures taken from `source`. Long candidate scans
// are spread over `matcherThreads` threads (this one included; 0: one per core). With a memo, partners of an
// earlier search over unchanged files are taken from it instead of being searched for again. With a veto, a
// partner it refuses is passed over and the search goes on below it; the memo knows nothing of vetoes, so the
// two are not used together.
MatchEnd MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host, PictureSource& source,
                       int matcherThreads = 0, PartnerMemo* memo = nullptr, CandidateVeto* veto = nullptr);
