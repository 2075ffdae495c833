#include "models/result_tool_tip.h"

#include <optional>

#include "engine/finding_explanation.h"
#include "platform/error/exception.h"
#include "project/list/address_columns.h"
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

// "Flags: role, free", "Suggestion: ...", "Provider: ..." as far as there
// are any, each on a line of its own.
QString AddressLines(const RecipientList& list, size_t row) {
    const AddressKnowledge* lists = nullptr;
    try {
        lists = &AddressKnowledge::Installed();
    } catch (const Exception&) {
        return {};  // a run that starts tells the user
    }
    const AddressColumns told = AddressColumnsOfRow(*lists, list, row);
    QString lines;
    if (!told.flags.Empty())
        lines += QStringLiteral("\nFlags: ") +
                 Text(AddressFlagsText(told.flags, ',')).replace(QLatin1Char(','), ", ");
    if (!told.suggestion.empty()) lines += QStringLiteral("\nSuggestion: ") + Text(told.suggestion);
    if (!told.provider.empty()) lines += QStringLiteral("\nProvider: ") + Text(told.provider);
    return lines;
}

}  // namespace

QString ResultToolTip(const RecipientList& list, size_t row) {
    const std::optional<RowVerdict> verdict = VerdictOfRow(list, row);
    if (!verdict) return {};
    // The first line holds no "<", so the tool tip is shown as plain text
    // whatever the reply quotes (addresses in angle brackets).
    QString tip = QStringLiteral("Verdict: ") + Text(VerdictName(verdict->verdict));
    if (verdict->derivedFromCode)
        return tip + QLatin1Char('\n') + QLatin1String(kDerivedFromCodeNote) +
               AddressLines(list, row);
    if (verdict->reason) tip += QStringLiteral("\nReason: ") + Text(ReasonName(*verdict->reason));
    tip += QLatin1Char('\n') + ReplyLines(verdict->reply);
    const ResultFinding* finding = list.FindingOf(row);
    const std::optional<ResultColumn> result = ParseResultColumn(list.SubItem(row, 0));
    const std::string why = finding && result ? ExplainFinding(result->code, *finding) : "";
    if (!why.empty()) tip += QLatin1Char('\n') + Text(why);
    return tip + AddressLines(list, row);
}

}  // namespace mv::ui
