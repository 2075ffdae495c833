// Any bytes read as a findings file either give rows their findings or are
// skipped; nothing else may happen. The outcome does not depend on how the
// bytes are cut into pieces, and every finding taken writes a line that
// reads again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "project/findings/findings_file.h"

namespace {

void Fill(mv::RecipientList& list) {
    for (const char* caption : {"a@x.test", "Name <b@x.test>", "c@x.test"}) {
        mv::RecipientRow row;
        row.caption = caption;
        row.subItems = {"[0] Valid E-mail Address!"};
        list.AppendRow(row);
    }
    list.SetSubItem(2, 0, "[550] Mailbox unavailable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    mv::RecipientList whole;
    Fill(whole);
    const mv::FindingsTally once = mv::ReadFindings(whole, bytes);

    mv::RecipientList pieces;
    Fill(pieces);
    mv::FindingsParser parser([&](const mv::FindingRecord& record) {
        if (!mv::ParseFindingLine(mv::FormatFindingLine(record))) std::abort();
        if (record.row < pieces.RowCount()) pieces.SetFinding(record.row, record.finding);
    });
    const size_t cut = size == 0 ? 0 : data[0] % size;
    parser.Feed(bytes.substr(0, cut));
    parser.Feed(bytes.substr(cut));
    const mv::FindingsTally again = parser.Finish();
    if (once.headerOk != again.headerOk || once.lines != again.lines ||
        once.badLines != again.badLines)
        std::abort();
    // What matched in one piece was read the same in two.
    for (size_t row = 0; row < whole.RowCount(); ++row)
        if (whole.FindingOf(row) != nullptr &&
            (pieces.FindingOf(row) == nullptr || *pieces.FindingOf(row) != *whole.FindingOf(row)))
            std::abort();
    return 0;
}
