// Matching benchmark: a catalogue of realistic signatures (real wavelet signatures of rendered scenes, plus
// variants of them and a few planted near-duplicates and identical files), matched by the fast candidate
// search and, on a subset, by the plain reference; prints times, the ratio, memory and whether the pairs agree.
//
//   bench_match [--pictures N] [--scenes S] [--subset K] [--threads T] [--checks C] [--seed X] [--mode M]
//
// --mode both (default) runs everything; fast or reference run only that matcher over --pictures, for
// instruction counts under callgrind.
#include "SyntheticSignatures.h"
#include "engine/FastMatcher.h"
#include "engine/PairMatcher.h"

#include <QString>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>

namespace {

struct Options {
    int pictures = 100000;
    int scenes = 1500;
    int subset = 4000;
    int threads = 0;
    int checks = 60;  // pictures of the full set whose partner is also found by the reference
    uint64_t seed = 1;
    std::string mode = "both";
};

using Token = uint16_t;  // position * 2 + sign

struct Picture {
    std::vector<Token> tokens;  // released once the catalogue holds them
    int32_t width = 4000, height = 3000;
    int content = 0;  // equal numbers: byte-identical files
};

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
double cpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;  // large arrays live in their own mappings
}
long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}
// The kernel's high-water mark of this process's resident memory, which resetPeak() lowers to the current size.
long highWaterMb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb / 1024;
}
bool resetPeak() {
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

std::vector<Token> tokensOf(const synth::Signature& s) {
    std::vector<Token> out;
    for (const TWaveletPoint& p : s.pos)
        if (p.X || p.Y)
            out.push_back(static_cast<Token>((p.X * 128 + p.Y) * 2));
    for (const TWaveletPoint& p : s.neg)
        if (p.X || p.Y)
            out.push_back(static_cast<Token>((p.X * 128 + p.Y) * 2 + 1));
    return out;
}

// Keeps `keep` of the tokens and draws the rest from `pool` (tokens of real signatures, so the variant keeps
// the coarse-heavy spread of photographs), never two at one position.
std::vector<Token> variant(const std::vector<Token>& base, double keep, const std::vector<Token>& pool,
                           std::mt19937_64& rng) {
    std::vector<Token> kept = base;
    std::shuffle(kept.begin(), kept.end(), rng);
    kept.resize(static_cast<size_t>(kept.size() * keep));
    std::set<int> used;
    for (Token t : kept)
        used.insert(t / 2);
    while (kept.size() < base.size()) {
        const Token t = pool[rng() % pool.size()];
        if (used.insert(t / 2).second)
            kept.push_back(t);
    }
    return kept;
}

std::vector<Picture> makeSet(const Options& o) {
    std::mt19937_64 rng(o.seed);
    std::uniform_real_distribution<double> unit(0, 1);
    TBitmap work;
    synth::Signature sig;
    std::vector<std::vector<Token>> scenes;
    std::vector<Token> pool;
    // Real signatures: distinct scenes, and for every fifth a second shot of it a moment later.
    for (int s = 0; s < o.scenes; ++s) {
        const synth::Scene scene = synth::RandomScene(rng);
        synth::Render(scene, rng(), work);
        synth::Sign(work, sig);
        scenes.push_back(tokensOf(sig));
        pool.insert(pool.end(), scenes.back().begin(), scenes.back().end());
        if (s % 5 == 0) {
            synth::Render(synth::Perturb(scene, 0.03, rng), rng(), work);
            synth::Sign(work, sig);
            scenes.push_back(tokensOf(sig));
        }
    }
    static constexpr std::pair<int32_t, int32_t> kSizes[] = {{4000, 3000}, {3000, 4000}, {6000, 4000},
                                                             {4000, 6000}, {1920, 1080}, {2000, 2000},
                                                             {1024, 768},  {800, 600}};
    std::vector<Picture> out(static_cast<size_t>(o.pictures));
    int nextContent = 1;
    for (size_t i = 0; i < out.size(); ++i) {
        Picture& p = out[i];
        const auto size = kSizes[rng() % std::size(kSizes)];
        p.width = size.first;
        p.height = size.second;
        p.content = nextContent++;
        const double roll = unit(rng);
        if (i > 0 && roll < 0.0005) {
            p = out[rng() % i];  // a copy of the same file
        } else if (i > 0 && roll < 0.002) {
            p.tokens = variant(out[rng() % i].tokens, 0.85, pool, rng);  // a near-duplicate: re-saved, retouched
        } else if (i < scenes.size()) {
            p.tokens = scenes[i];
        } else {
            // Another photograph of a known scene: much alike, not a duplicate.
            p.tokens = variant(scenes[rng() % scenes.size()], 0.1 + 0.25 * unit(rng), pool, rng);
        }
    }
    return out;
}

void fillRecord(const Picture& p, TPicInfo& pic) {
    pic.CCVStage = TCCVStage::Full;
    pic.Width = p.width;
    pic.Height = p.height;
    std::vector<Token> sorted = p.tokens;
    std::sort(sorted.begin(), sorted.end());
    size_t pos = 0, neg = 0;
    for (Token t : sorted) {
        const TWaveletPoint q{static_cast<uint8_t>(t / 2 / 128), static_cast<uint8_t>(t / 2 % 128)};
        if (t % 2)
            pic.WaveletCoefsNeg[neg++] = q;
        else
            pic.WaveletCoefsPos[pos++] = q;
    }
    // Camera files differ early in their heads (time stamps); copies share theirs.
    const std::string head = "JFIF-" + std::to_string(p.content);
    std::memcpy(pic.PreBuffer.data(), head.data(), std::min(head.size(), pic.PreBuffer.size()));
}

void signMatrix(const TPicInfo& pic, TSignatureMatrix& m) {
    m.fill(0);
    for (const TWaveletPoint& q : pic.WaveletCoefsPos)
        if (q.X || q.Y)
            m[q.X * 128u + q.Y] = 1;
    for (const TWaveletPoint& q : pic.WaveletCoefsNeg)
        if (q.X || q.Y)
            m[q.X * 128u + q.Y] = -1;
}

struct Run {
    TPicturePairs pairs;
    double wall = 0, cpu = 0;
    int64_t fileComparisons = 0;
};

// Every picture below `count` against its earlier ones, as MatchPictures does, with whole-file comparisons
// answered from the generated contents.
template <typename FindFn>
Run matchAll(const Catalogue& cat, const std::vector<Picture>& set, int32_t count, FindFn find) {
    Run run;
    auto m = std::make_unique<TSignatureMatrix>();
    const FilesEqualFn files = [&](const QString& a, const QString& b) {
        ++run.fileComparisons;
        const int ia = a.mid(a.lastIndexOf('_') + 1).section('.', 0, 0).toInt();
        const int ib = b.mid(b.lastIndexOf('_') + 1).section('.', 0, 0).toInt();
        return set[static_cast<size_t>(ia)].content == set[static_cast<size_t>(ib)].content;
    };
    const double wall0 = now(), cpu0 = cpuNow();
    for (int32_t i = 0; i < count; ++i) {
        signMatrix(cat.Pictures[static_cast<size_t>(i)], *m);
        const PartnerMatch match = find(i, *m, files);
        if (match.Partner >= 0)
            run.pairs.push_back({match.Partner, i, SimilarityFromScore(match.Score)});
    }
    run.wall = now() - wall0;
    run.cpu = cpuNow() - cpu0;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int a = 1; a + 1 < argc; a += 2) {
        const std::string key = argv[a];
        const char* value = argv[a + 1];
        if (key == "--pictures") o.pictures = std::atoi(value);
        else if (key == "--scenes") o.scenes = std::atoi(value);
        else if (key == "--subset") o.subset = std::atoi(value);
        else if (key == "--threads") o.threads = std::atoi(value);
        else if (key == "--checks") o.checks = std::atoi(value);
        else if (key == "--seed") o.seed = std::strtoull(value, nullptr, 10);
        else if (key == "--mode") o.mode = value;
        else {
            std::fprintf(stderr, "unknown option %s\n", key.c_str());
            return 2;
        }
    }
    o.subset = std::min(o.subset, o.pictures);
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("cores (nproc): %ld, matcher threads: %d\n", cores, o.threads > 0 ? o.threads : int(cores));

    double t0 = now();
    std::vector<Picture> set = makeSet(o);
    std::printf("signatures: %d pictures from %d rendered scenes in %.1f s\n", o.pictures, o.scenes, now() - t0);

    const size_t heapBefore = heapInUse();
    auto cat = std::make_unique<Catalogue>();
    cat->Reset();
    cat->AllocateInitial();
    cat->AppendFolderPath(QStringLiteral("/home/someone/Pictures/2024/"));
    for (int32_t i = 0; i < o.pictures; ++i) {
        TPicInfo pic;
        pic.FileName = QStringLiteral("IMG_%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
        cat->AppendPicture(std::move(pic));
        cat->ApplyPictureGrowth();
    }
    cat->TrimPicturesAndPaths();
    for (int32_t i = 0; i < o.pictures; ++i)
        fillRecord(set[static_cast<size_t>(i)], cat->Pictures[static_cast<size_t>(i)]);
    std::vector<Picture> contents = std::move(set);
    for (Picture& p : contents)
        p.tokens = {};
    malloc_trim(0);
    // The list's spare capacity after the trim holds no pages (they went back to the system), so it is not
    // memory the catalogue costs.
    const size_t spare = (cat->Pictures.capacity() - cat->Pictures.size()) * sizeof(TPicInfo);
    const double recordBytes = double(heapInUse() - heapBefore - spare) / o.pictures;
    std::printf("catalogue: %zu bytes per record, %.0f bytes per picture with its name (budget %zu); the match "
                "index holds at most %zu bytes per picture more while matching\n",
                sizeof(TPicInfo), recordBytes, kPictureRecordBudget, FastPartnerFinder::kBytesPerPicture);

    const auto fastFind = [](FastPartnerFinder& f) {
        return [&f](int32_t i, const TSignatureMatrix& m, const FilesEqualFn& files) {
            return f.Find(i, m, false, files);
        };
    };
    const auto referenceFind = [&](int32_t i, const TSignatureMatrix& m, const FilesEqualFn& files) {
        return FindPartnerReference(*cat, i, m, false, files);
    };

    if (o.mode == "fast" || o.mode == "reference") {
        Run run;
        if (o.mode == "fast") {
            FastPartnerFinder finder(*cat, {o.threads});
            run = matchAll(*cat, contents, o.pictures, fastFind(finder));
        } else {
            run = matchAll(*cat, contents, o.pictures, referenceFind);
        }
        std::printf("%s: %d pictures in %.2f s (cpu %.2f s), %zu pairs\n", o.mode.c_str(), o.pictures, run.wall,
                    run.cpu, run.pairs.size());
        return 0;
    }

    // The subset: both matchers over the first pictures, the reference's time scaled by n^2.
    Run reference = matchAll(*cat, contents, o.subset, referenceFind);
    Run fastSubset;
    {
        FastPartnerFinder finder(*cat, {o.threads});
        fastSubset = matchAll(*cat, contents, o.subset, fastFind(finder));
    }
    const bool subsetSame = reference.pairs == fastSubset.pairs && reference.fileComparisons == fastSubset.fileComparisons;
    std::printf("subset of %d: reference %.2f s (cpu %.2f), fast %.3f s (cpu %.3f), pairs %zu / %zu, %s\n",
                o.subset, reference.wall, reference.cpu, fastSubset.wall, fastSubset.cpu, reference.pairs.size(),
                fastSubset.pairs.size(), subsetSame ? "identical" : "DIFFERENT");

    const long before = highWaterMb();
    const bool peakReset = resetPeak();
    FastPartnerFinder finder(*cat, {o.threads});
    const Run fast = matchAll(*cat, contents, o.pictures, fastFind(finder));
    const FastPartnerFinder::Stats stats = finder.Statistics();
    const long matchingPeak = highWaterMb();
    const double scale = double(o.pictures) / o.subset;
    const double referenceEstimate = reference.cpu * scale * scale;
    std::printf("full set of %d: fast %.2f s wall (cpu %.2f s), %zu pairs, %lld file comparisons; %.2e "
                "candidates, %.4f%% counted exactly\n",
                o.pictures, fast.wall, fast.cpu, fast.pairs.size(), static_cast<long long>(fast.fileComparisons),
                double(stats.Candidates), 100.0 * stats.Verified / std::max<int64_t>(stats.Candidates, 1));
    std::printf("reference estimate for %d: %.0f s of cpu (subset cpu x (n / subset)^2); fast / reference: %.0fx "
                "by wall time, %.0fx by cpu time\n",
                o.pictures, referenceEstimate, referenceEstimate / fast.wall, referenceEstimate / fast.cpu);

    // Spot checks over the full set: the reference's partner for pictures spread over the whole range.
    auto m = std::make_unique<TSignatureMatrix>();
    std::map<int32_t, TPicturePair> byPicture;
    for (const TPicturePair& p : fast.pairs)
        byPicture[p.PicIndex2] = p;
    int agree = 0;
    std::mt19937_64 rng(o.seed + 7);
    std::vector<int32_t> checks;
    for (const TPicturePair& p : fast.pairs)  // every found pair's picture up to the budget, then random ones
        if (static_cast<int>(checks.size()) < o.checks / 2)
            checks.push_back(p.PicIndex2);
    while (static_cast<int>(checks.size()) < o.checks)
        checks.push_back(static_cast<int32_t>(o.pictures / 2 + rng() % (o.pictures - o.pictures / 2)));
    for (int32_t i : checks) {
        signMatrix(cat->Pictures[static_cast<size_t>(i)], *m);
        const PartnerMatch ref = FindPartnerReference(*cat, i, *m, false, [&](const QString& a, const QString& b) {
            const int ia = a.mid(a.lastIndexOf('_') + 1).section('.', 0, 0).toInt();
            const int ib = b.mid(b.lastIndexOf('_') + 1).section('.', 0, 0).toInt();
            return contents[static_cast<size_t>(ia)].content == contents[static_cast<size_t>(ib)].content;
        });
        const auto found = byPicture.find(i);
        const bool same = found == byPicture.end()
                              ? ref.Partner < 0
                              : ref.Partner == found->second.PicIndex1 &&
                                    SimilarityFromScore(ref.Score) == found->second.Similarity;
        agree += same;
    }
    std::printf("spot checks over the full set: %d of %d pictures have the reference's partner\n", agree,
                static_cast<int>(checks.size()));
    if (peakReset)
        std::printf("peak memory: %ld MB while matching the full set (catalogue and match index); %ld MB for "
                    "the whole process (%ld MB before matching: generated signatures, catalogue growth)\n",
                    matchingPeak, std::max(before, matchingPeak), before);
    else
        std::printf("peak memory of the whole process: %ld MB\n", peakRssMb());
    return subsetSame && agree == static_cast<int>(checks.size()) ? 0 : 1;
}
