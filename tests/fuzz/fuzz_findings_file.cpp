// Any bytes read as a findings file give rows findings or are skipped, the
// same however they are cut into pieces.
#include <cstdint>
#include <cstdlib>

#include "project/findings/findings_file.h"

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
    return 0;
}
