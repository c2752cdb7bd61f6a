// Keep-rules: one comparison per rule, asked in the user's order.
#include "results/KeepRules.h"

#include "engine/SortProcedures.h"

#include <algorithm>

namespace {

template <typename T> int ascending(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// -1 when only a has the property, +1 when only b has it.
int preferHaving(bool a, bool b) {
    return a == b ? 0 : (a ? -1 : 1);
}

int compareByRule(const Catalogue& catalogue, const PictureFacts& facts, const KeepRule& rule, int32_t a,
                  int32_t b) {
    const TPicInfo& pa = catalogue.Pictures[static_cast<size_t>(a)];
    const TPicInfo& pb = catalogue.Pictures[static_cast<size_t>(b)];
    switch (rule.Kind) {
    case KeepRuleKind::MostPixels:
        return -ascending(int64_t{pa.Width} * pa.Height, int64_t{pb.Width} * pb.Height);
    case KeepRuleKind::LargestFile:
        return -ascending(facts.Of(catalogue, a).Size, facts.Of(catalogue, b).Size);
    case KeepRuleKind::OldestModification:
    case KeepRuleKind::NewestModification: {
        const bool knownA = facts.Exists(a);
        const bool knownB = facts.Exists(b);
        if (const int c = preferHaving(knownA, knownB); c != 0 || !knownA)
            return c;
        const int c = ascending(facts.Of(catalogue, a).ModifiedNs, facts.Of(catalogue, b).ModifiedNs);
        return rule.Kind == KeepRuleKind::OldestModification ? c : -c;
    }
    case KeepRuleKind::ShortestPath:
        return ascending(catalogue.PicturePath(a).size(), catalogue.PicturePath(b).size());
    case KeepRuleKind::InPreferredFolder:
        return preferHaving(PathIsInFolder(catalogue.PicturePath(a), rule.Parameter),
                            PathIsInFolder(catalogue.PicturePath(b), rule.Parameter));
    case KeepRuleKind::PreferredType: {
        const QString suffix = QLatin1Char('.') + rule.Parameter;
        return preferHaving(pa.FileName.endsWith(suffix, Qt::CaseInsensitive),
                            pb.FileName.endsWith(suffix, Qt::CaseInsensitive));
    }
    }
    return 0;
}

}  // namespace

QString KeepRuleText(KeepRuleKind kind) {
    switch (kind) {
    case KeepRuleKind::MostPixels:
        return QStringLiteral("Most pixels");
    case KeepRuleKind::LargestFile:
        return QStringLiteral("Largest file");
    case KeepRuleKind::OldestModification:
        return QStringLiteral("Oldest modification");
    case KeepRuleKind::NewestModification:
        return QStringLiteral("Newest modification");
    case KeepRuleKind::ShortestPath:
        return QStringLiteral("Shortest path");
    case KeepRuleKind::InPreferredFolder:
        return QStringLiteral("In the preferred folder");
    case KeepRuleKind::PreferredType:
        return QStringLiteral("Of the preferred type");
    }
    return {};
}

std::vector<KeepRuleKind> AllKeepRuleKinds() {
    return {KeepRuleKind::MostPixels,         KeepRuleKind::LargestFile,  KeepRuleKind::OldestModification,
            KeepRuleKind::NewestModification, KeepRuleKind::ShortestPath, KeepRuleKind::InPreferredFolder,
            KeepRuleKind::PreferredType};
}

int CompareForKeeping(const Catalogue& catalogue, const PictureFacts& facts, const std::vector<KeepRule>& rules,
                      int32_t a, int32_t b) {
    for (const KeepRule& rule : rules) {
        if (const int c = compareByRule(catalogue, facts, rule, a, b))
            return c;
    }
    if (const int c = ComparePathText(catalogue.PicturePath(a), catalogue.PicturePath(b)))
        return c < 0 ? -1 : 1;
    return ascending(a, b);
}

KeepPlan PlanKeeping(const Catalogue& catalogue, const ResultGroups& groups, const PictureFacts& facts,
                     const ReferenceFolders& reference, const std::vector<KeepRule>& rules) {
    KeepPlan plan;
    plan.Kept.reserve(groups.size());
    for (const PairGroup& group : groups.Groups()) {
        bool anyReference = false;
        for (const int32_t k : group.Files)
            anyReference = anyReference || reference.HoldsPicture(catalogue, k);
        int32_t kept = -1;
        for (const int32_t k : group.Files) {
            if (anyReference && !reference.HoldsPicture(catalogue, k))
                continue;
            if (kept < 0 || CompareForKeeping(catalogue, facts, rules, k, kept) < 0)
                kept = k;
        }
        plan.Kept.push_back(kept);
        for (const int32_t k : group.Files) {
            if (k != kept && !reference.HoldsPicture(catalogue, k))
                plan.ToMark.push_back(k);
        }
    }
    std::sort(plan.ToMark.begin(), plan.ToMark.end());
    plan.Bytes = BytesFreedByRemoving(catalogue, plan.ToMark, facts);
    return plan;
}

void ApplyKeeping(const KeepPlan& plan, const Catalogue& catalogue, const ResultGroups& groups,
                  const ReferenceFolders& reference, ResultMarks& marks) {
    for (const int32_t k : groups.AllFiles())
        marks.Set(catalogue, reference, k, std::binary_search(plan.ToMark.begin(), plan.ToMark.end(), k));
}
