// Batch texts, with the message line break of the other boxes (LF CR).
#include "results/BatchTexts.h"

#include "engine/Formatting.h"

namespace {

const QString kBreak = QStringLiteral("\n\r");

QString filesText(int64_t count, const QLocale& locale) {
    return FormatCount(static_cast<double>(count), locale) + (count == 1 ? QStringLiteral(" file")
                                                                         : QStringLiteral(" files"));
}

}  // namespace

QString BatchConfirmationText(const BatchPlan& plan, const BatchOptions& options, const QLocale& locale) {
    const auto count = static_cast<int64_t>(plan.Files.size());
    const QString what = QStringLiteral("the %1 marked %2 (%3)")
                             .arg(FormatCount(static_cast<double>(count), locale),
                                  count == 1 ? QStringLiteral("file") : QStringLiteral("files"),
                                  FormatSize(plan.Bytes, locale));
    if (plan.Kind == BatchKind::Move)
        return QStringLiteral("Move %1 to%2%3?").arg(what, kBreak, options.Destination);
    if (options.ToTrash)
        return QStringLiteral("Move %1 to the trash?").arg(what);
    return QStringLiteral("Delete %1 permanently?").arg(what);
}

QString WholeGroupsQuestionText(int32_t groups, const QLocale& locale) {
    const QString count = FormatCount(groups, locale);
    return (groups == 1 ? QStringLiteral("In 1 group every file is marked.")
                        : QStringLiteral("In %1 groups every file is marked.").arg(count)) +
           kBreak + QStringLiteral("Delete every file of %1 too? No keeps them all.")
                        .arg(groups == 1 ? QStringLiteral("that group") : QStringLiteral("those groups"));
}

QString BatchSummaryText(const BatchReport& report, BatchKind kind, const Catalogue& catalogue,
                         const QLocale& locale) {
    const QString verb = kind == BatchKind::Move ? QStringLiteral("Moved") : QStringLiteral("Deleted");
    QString text = QStringLiteral("%1 %2 (%3).")
                       .arg(verb, filesText(static_cast<int64_t>(report.Done.size()), locale),
                            FormatSize(report.BytesDone, locale));
    if (report.Cancelled)
        text += kBreak + QStringLiteral("Cancelled: %1 not tried.").arg(filesText(report.NotAttempted, locale));
    if (report.Failed.empty())
        return text;
    text += kBreak + QStringLiteral("Not done: %1").arg(filesText(static_cast<int64_t>(report.Failed.size()), locale));
    int listed = 0;
    for (const BatchFailure& failure : report.Failed) {
        if (listed == kSummaryFailureLines) {
            text += kBreak + QStringLiteral("and %1 more").arg(FormatCount(
                                 static_cast<double>(report.Failed.size()) - listed, locale));
            break;
        }
        text += kBreak + catalogue.Pictures[static_cast<size_t>(failure.Picture)].FileName + QStringLiteral(": ") +
                BatchReasonText(failure);
        ++listed;
    }
    return text;
}
