// Grouping and keep-rules benchmark: 100 000 pairs over a library shaped as searches leave it (mostly single
// pairs, chains of versions, stars of copies around one original, a few large groups), timed for building
// the groups, sorting them, planning the keep-rules and planning a delete, against one plain pass over the
// pair list in the same run.
//
//   bench_groups [--pairs N] [--repeat R]
#include "results/BatchActions.h"
#include "results/KeepRules.h"
#include "results/PairFilter.h"
#include "results/ResultGroups.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A catalogue of `pairs` pairs in 1000-picture folders, with the pictures' sizes, times and dimensions.
Catalogue makeLibrary(int pairs, uint32_t seed) {
    std::mt19937 random(seed);
    Catalogue c;
    const auto addPicture = [&]() {
        const auto k = static_cast<int32_t>(c.Pictures.size());
        if (k % 1000 == 0)
            c.FolderPaths.push_back(QStringLiteral("/home/user/Pictures/%1/").arg(k / 1000, 4, 10, QLatin1Char('0')));
        TPicInfo info;
        info.FileName = QStringLiteral("IMG_%1.jpg").arg(k, 6, 10, QLatin1Char('0'));
        info.PathInd = static_cast<int32_t>(c.FolderPaths.size()) - 1;
        info.Width = 400 + static_cast<int32_t>(random() % 4000);
        info.Height = 300 + static_cast<int32_t>(random() % 3000);
        info.Size = 20000 + static_cast<int64_t>(random() % 5000000);
        info.Time = static_cast<int32_t>((46u << 25) | ((random() % 12 + 1) << 21) | ((random() % 28 + 1) << 16));
        c.Pictures.push_back(info);
        return k;
    };
    while (static_cast<int>(c.PicturePairs.size()) < pairs) {
        const uint32_t shape = random() % 100;
        const int32_t first = addPicture();
        const int members = shape < 70 ? 1 : shape < 90 ? 2 + static_cast<int>(random() % 4)
                                                        : shape < 99 ? 3 + static_cast<int>(random() % 8) : 200;
        int32_t previous = first;
        for (int m = 0; m < members && static_cast<int>(c.PicturePairs.size()) < pairs; ++m) {
            const int32_t k = addPicture();
            // Chains link each version to the one before; stars link every copy to the original.
            const int32_t partner = shape % 2 == 0 ? previous : first;
            c.PicturePairs.push_back({partner, k, double(1 + random() % 100)});
            previous = k;
        }
    }
    c.LastPicIndex = static_cast<int32_t>(c.Pictures.size()) - 1;
    c.PicCapacity = c.LastPicIndex + 1;
    c.LastPathIndex = static_cast<int32_t>(c.FolderPaths.size()) - 1;
    c.PathCapacity = c.LastPathIndex + 1;
    c.LastPairIndex = static_cast<int32_t>(c.PicturePairs.size()) - 1;
    c.PairCapacity = c.LastPairIndex + 1;
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    int pairs = 100000;
    int repeat = 5;
    for (int k = 1; k + 1 < argc; k += 2) {
        if (std::strcmp(argv[k], "--pairs") == 0)
            pairs = std::stoi(argv[k + 1]);
        else if (std::strcmp(argv[k], "--repeat") == 0)
            repeat = std::stoi(argv[k + 1]);
    }
    const Catalogue c = makeLibrary(pairs, 15);
    const std::vector<KeepRule> rules{{KeepRuleKind::InPreferredFolder, QStringLiteral("/home/user/Pictures/0001/")},
                                      {KeepRuleKind::MostPixels, {}},
                                      {KeepRuleKind::LargestFile, {}},
                                      {KeepRuleKind::OldestModification, {}},
                                      {KeepRuleKind::ShortestPath, {}}};
    // The facts as a search's one stat() per grouped file leaves them.
    PictureFacts facts;
    for (int32_t k = 0; k <= c.LastPicIndex; ++k) {
        FileFacts f;
        f.Device = 2049;
        f.Inode = 1000000u + static_cast<uint64_t>(k);
        f.Size = c.Pictures[static_cast<size_t>(k)].Size;
        f.ModifiedNs = DosTimeToNanoseconds(c.Pictures[static_cast<size_t>(k)].Time);
        facts.Set(k, f);
    }
    const ReferenceFolders reference;
    double best[5] = {1e9, 1e9, 1e9, 1e9, 1e9};
    size_t groupCount = 0;
    size_t marked = 0;
    double checksum = 0;
    for (int r = 0; r < repeat; ++r) {
        double t0 = now();
        // The floor: one pass over the pairs, reading what grouping reads.
        for (const TPicturePair& p : c.PicturePairs)
            checksum += p.PicIndex1 + p.PicIndex2 + p.Similarity;
        double t1 = now();
        ResultGroups groups = ResultGroups::Build(c, ShownPairs(c, kNoSimilarityFilter), facts);
        double t2 = now();
        groups.Sort(GroupOrder::Bytes, true);
        double t3 = now();
        const KeepPlan plan = PlanKeeping(c, groups, facts, reference, rules);
        double t4 = now();
        ResultMarks marks;
        for (const int32_t k : plan.ToMark)
            marks.Set(c, reference, k, true);
        const BatchPlan batch = PlanBatch(BatchKind::Delete, c, groups, marks, reference, facts);
        double t5 = now();
        const double times[5] = {t1 - t0, t2 - t1, t3 - t2, t4 - t3, t5 - t4};
        for (int k = 0; k < 5; ++k)
            best[k] = std::min(best[k], times[k]);
        groupCount = groups.size();
        marked = batch.Files.size();
    }
    std::printf("%d pairs, %zu pictures, %zu groups, %zu files marked by the rules (checksum %.0f)\n", pairs,
                c.Pictures.size(), groupCount, marked, checksum);
    std::printf("plain pass over the pairs  %8.2f ms\n", best[0] * 1e3);
    std::printf("build groups               %8.2f ms\n", best[1] * 1e3);
    std::printf("sort groups by bytes       %8.2f ms\n", best[2] * 1e3);
    std::printf("plan keep-rules (5 rules)  %8.2f ms\n", best[3] * 1e3);
    std::printf("mark and plan the delete   %8.2f ms\n", best[4] * 1e3);
    std::printf("groups + keep-rules        %8.2f ms (target < 1000 ms)\n", (best[1] + best[3]) * 1e3);
    return 0;
}
