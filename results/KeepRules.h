// "Mark duplicates…": in each group one file is kept by an ordered list of rules and the rest are marked.
#pragma once

#include "engine/Catalogue.h"
#include "results/PictureFacts.h"
#include "results/ResultGroups.h"
#include "results/ResultMarks.h"

#include <QString>
#include <cstdint>
#include <vector>

enum class KeepRuleKind {
    MostPixels,          // width × height, larger kept
    LargestFile,         // bytes, larger kept
    OldestModification,  // earlier kept; an unknown time ranks after every known one
    NewestModification,  // later kept; an unknown time ranks after every known one
    ShortestPath,        // fewer characters in the full path kept
    InPreferredFolder,   // a file in Parameter (a folder) or below it kept
    PreferredType,       // a file whose name ends in "." + Parameter (any case) kept
};

struct KeepRule {
    KeepRuleKind Kind = KeepRuleKind::MostPixels;
    QString Parameter;  // the folder or the type's extension; unused by the other rules
    friend bool operator==(const KeepRule&, const KeepRule&) = default;
};

// The rule's name as the keep-rules dialog lists it.
QString KeepRuleText(KeepRuleKind kind);
// Every rule kind, in the dialog's order.
std::vector<KeepRuleKind> AllKeepRuleKinds();

// Negative when picture a is the better one to keep, positive when b is. The rules are asked in order; where
// they all tie, the path in text order decides, then the scan order, so two different pictures never tie.
int CompareForKeeping(const Catalogue& catalogue, const PictureFacts& facts, const std::vector<KeepRule>& rules,
                      int32_t a, int32_t b);

struct KeepPlan {
    std::vector<int32_t> Kept;    // per group, the file kept
    std::vector<int32_t> ToMark;  // every file that will be marked, ascending
    int64_t Bytes = 0;            // what deleting ToMark would give back
};

// The plan for every group. A group holding files of reference folders keeps its best reference file and
// marks every other file; reference files are never marked.
KeepPlan PlanKeeping(const Catalogue& catalogue, const ResultGroups& groups, const PictureFacts& facts,
                     const ReferenceFolders& reference, const std::vector<KeepRule>& rules);
// Marks the plan's files and unmarks the other files of the groups.
void ApplyKeeping(const KeepPlan& plan, const Catalogue& catalogue, const ResultGroups& groups,
                  const ReferenceFolders& reference, ResultMarks& marks);
