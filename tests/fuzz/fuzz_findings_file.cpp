// Any bytes read as a findings file give rows findings or are skipped, the
// same however they are cut into pieces. Read as a run journal, the good part
// is the same however cut, and read alone it is all good.
#include <cstdint>
#include <cstdlib>

#include "project/findings/findings_file.h"

namespace {

mv::FindingsTally Journal(std::string_view bytes, size_t cut, size_t& taken) {
    mv::FindingsParser parser([&](mv::FindingRecord&) { ++taken; }, mv::FindingsOrder::kAsWritten);
    parser.Feed(bytes.substr(0, cut));
    parser.Feed(bytes.substr(cut));
    return parser.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    mv::RecipientList list;
    const std::string_view result[] = {"[0] Valid E-mail Address!"};
    for (const char* caption : {"a@x.test", "Name <b@x.test>"})
        list.AppendRow(caption, result, mv::kIconValid, mv::kMarkUnchecked);
    const mv::FindingsTally once = mv::ReadFindings(list, bytes);
    mv::FindingsParser parser([](mv::FindingRecord&) {});
    const size_t cut = size == 0 ? 0 : data[0] % size;
    parser.Feed(bytes.substr(0, cut));
    parser.Feed(bytes.substr(cut));
    if (!(parser.Finish() == once)) std::abort();

    size_t taken = 0;
    size_t takenSplit = 0;
    size_t takenGood = 0;
    const mv::FindingsTally journal = Journal(bytes, 0, taken);
    if (!(Journal(bytes, cut, takenSplit) == journal) || takenSplit != taken) std::abort();
    if (journal.goodBytes > size) std::abort();
    const mv::FindingsTally good = Journal(bytes.substr(0, journal.goodBytes), 0, takenGood);
    if (journal.headerOk && (good.badLines != 0 || takenGood != taken)) std::abort();
    return 0;
}
