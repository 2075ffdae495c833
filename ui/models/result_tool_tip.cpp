#include "models/result_tool_tip.h"

#include <optional>

#include "engine/finding_explanation.h"
#include "project/list/row_verdict.h"

namespace mv::ui {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The reply's lines as received, one per tool tip line; the first beside
// "Reply:". Line ends of either kind are taken off.
QString ReplyLines(std::string_view reply) {
    if (reply.empty()) return QStringLiteral("Reply: none");
    QString lines = Text(reply);
    lines.remove(QLatin1Char('\r'));
    while (lines.endsWith(QLatin1Char('\n')))
        lines.chop(1);
    return QStringLiteral("Reply: ") + lines;
}

}  // namespace

QString ResultToolTip(const RecipientList& list, size_t row) {
    const std::optional<RowVerdict> verdict = VerdictOfRow(list, row);
    if (!verdict) return {};
    // The first line holds no "<", so the tool tip is shown as plain text
    // whatever the reply quotes (addresses in angle brackets).
    QString tip = QStringLiteral("Verdict: ") + Text(VerdictName(verdict->verdict));
    if (verdict->derivedFromCode)
        return tip + QLatin1Char('\n') + QLatin1String(kDerivedFromCodeNote);
    if (verdict->reason) tip += QStringLiteral("\nReason: ") + Text(ReasonName(*verdict->reason));
    tip += QLatin1Char('\n') + ReplyLines(verdict->reply);
    const ResultFinding* finding = list.FindingOf(row);
    const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
    const std::string why = finding && result ? ExplainFinding(result->code, *finding) : "";
    return why.empty() ? tip : tip + QLatin1Char('\n') + Text(why);
}

}  // namespace mv::ui
