// The pair matcher: measures and signs every picture once, then looks backwards for its nearest partner.
#include "engine/PairMatcher.h"

#include "engine/FastMatcher.h"
#include "engine/PartnerMemo.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace {

SearchProgress progress(int32_t done, const Catalogue& catalogue) {
    return {SearchPhase::Matching, done, catalogue.PicCapacity, catalogue.LastPairIndex + 1};
}

}  // namespace

DecodingPictureSource::DecodingPictureSource(int32_t minPicWidth, int32_t minPicHeight, bool followOrientation)
    : minPicWidth_(minPicWidth), minPicHeight_(minPicHeight), followOrientation_(followOrientation) {
    work_.Reset(kWorkSize, kWorkSize, PixelFormat::Bgr24);
}

LoadResult DecodingPictureSource::Measure(int32_t, const QString& path) {
    return LoadWorkPicture(path, work_, minPicWidth_, minPicHeight_, followOrientation_);
}

void DecodingPictureSource::Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) {
    ApplyGreyPalette(work_, 1);
    lastAverage_ = AverageBrightness(work_);
    ComputeSignatureMatrix(work_, m, lastAverage_);
    CollectCoefficientPositions(m, pos, neg);
}

PartnerMatch FindPartnerReference(const Catalogue& catalogue, int32_t i, const TSignatureMatrix& m,
                                  bool onlyIdentical, const FilesEqualFn& filesEqual, CandidateVeto* veto) {
    const TPicInfo& current = catalogue.Pictures[static_cast<size_t>(i)];
    for (int32_t j = i - 1; j >= 0; --j) {
        const TPicInfo& candidate = catalogue.Pictures[static_cast<size_t>(j)];
        if (candidate.CCVStage != TCCVStage::Full)
            continue;
        if (!AspectCompatible(candidate.Width, candidate.Height, current.Width, current.Height))
            continue;
        double score = 0;
        if (MayBeIdentical(candidate, current) && filesEqual(catalogue.PicturePath(i), catalogue.PicturePath(j)))
            score = kFullScore;
        else if (!onlyIdentical)
            score = ScoreOfAgreement(SignatureAgreement(candidate, m));
        if (score >= kSimilarityThreshold && !(veto && veto->Refuses(catalogue, j, i)))
            return {j, score};
    }
    return {};
}

MatchEnd MatchPictures(Catalogue& catalogue, const TSettings& settings, SearchHost& host, PictureSource& source,
                       int matcherThreads, PartnerMemo* memo, CandidateVeto* veto) {
    // A close request handled at one of our message points asks the catalogue to release itself. Holding
    // this defers the release until we return, so the records we still hold references to stay valid (also
    // when FilesEqual comes back into the candidate loop); the stop flag the close raises, or the pending
    // release itself, ends the run at the next picture.
    Catalogue::SearchUse use(catalogue);
    TPreBuffer head{};
    auto m = std::make_unique<TSignatureMatrix>();
    // The same partners as FindPartnerReference, without a full pass over the earlier pictures each time.
    FastPartnerFinder finder(catalogue, {.Threads = matcherThreads},
                             [&host](const QString& path) { return HashFileContent(path, [&host] { host.ProcessMessages(); }); });
    m->fill(0);
    const FilesEqualFn filesEqual = [&host](const QString& a, const QString& b) {
        return FilesEqual(a, b, [&host] { host.ProcessMessages(); });
    };

    for (int32_t i = 0; i < catalogue.PicCapacity; ++i) {
        host.ProcessMessages();
        if (host.SearchStopped() || catalogue.ReleaseRequested())
            return MatchEnd::Stopped;
        catalogue.LastPicIndex = i;
        const QString path = catalogue.PicturePath(i);
        source.WaitUntilReady(i, path, host);
        if (memo)
            memo->Note(i, source.FileKeyOf(i));

        LoadResult size;
        try {
            size = source.Measure(i, path);
        } catch (...) {
            continue;  // undecodable, whatever a decoder threw: stays None and is never compared
        }
        if (TooSmallForSearch(size.Height, size.Width, settings.MinPicWidth, settings.MinPicHeight))
            continue;

        TPicInfo& pic = catalogue.Pictures[static_cast<size_t>(i)];
        pic.Height = size.Height;
        pic.Width = size.Width;
        // A head that cannot be read leaves the previous one in the buffer, as the record then shows.
        source.ReadHead(path, head);
        pic.PreBuffer = head;
        if (!settings.SearchOnlyIdentical)
            source.Sign(*m, pic.WaveletCoefsPos, pic.WaveletCoefsNeg);
        pic.CCVStage = TCCVStage::Full;  // OnlyTotal is only ever a step on the way, so it is skipped

        std::optional<PartnerMatch> recalled = memo ? memo->Recall(i) : std::nullopt;
        PartnerMatch match = recalled ? *recalled : finder.Find(i, *m, settings.SearchOnlyIdentical, filesEqual);
        while (veto && match.Partner >= 0 && veto->Refuses(catalogue, match.Partner, i))
            match = finder.Find(i, *m, settings.SearchOnlyIdentical, filesEqual, match.Partner);
        if (memo)
            memo->Keep(i, match);
        if (match.Partner >= 0) {
            catalogue.AppendPair({match.Partner, i, SimilarityFromScore(match.Score)});
            host.ReportProgress(progress(i, catalogue), ProgressLine::Pairs);
        }
        host.ReportProgress(progress(i + 1, catalogue), ProgressLine::Pictures);
    }
    host.ReportProgress(progress(catalogue.LastPicIndex + 1, catalogue), ProgressLine::Pictures);
    return MatchEnd::AllTaken;
}
