// The texts of a batch: its one confirmation, the question before a group loses every file, the summary.
#pragma once

#include "engine/Catalogue.h"
#include "results/BatchActions.h"

#include <QLocale>
#include <QString>

// Names the count, the total size and where the files go: the trash, nowhere (deleted for good) or the folder.
QString BatchConfirmationText(const BatchPlan& plan, const BatchOptions& options, const QLocale& locale);
// Asked, after the confirmation, when every file of some groups is marked for deletion.
QString WholeGroupsQuestionText(int32_t groups, const QLocale& locale);
// What was done and what was not, each failure by file name with its reason; at most kSummaryFailureLines
// failures are listed by name.
QString BatchSummaryText(const BatchReport& report, BatchKind kind, const Catalogue& catalogue,
                         const QLocale& locale);

constexpr int kSummaryFailureLines = 15;  // a message box taller than the screen helps nobody
