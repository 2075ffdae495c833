// Any bytes given to the project reader either read or fail with EReadError;
// nothing else may happen. What reads writes back to a stream that reads
// again and writes the very same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"

namespace {

class StringSink : public mv::ByteSink {
  public:
    void Write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
    std::string bytes;
};

std::string Written(const mv::RecipientList& list) {
    StringSink sink;
    mv::WriteProject(list, sink);
    return sink.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    mv::RecipientList list;
    try {
        mv::ReadProject(list, bytes);
    } catch (const mv::EReadError&) {
        return 0;
    }
    const std::string first = Written(list);
    mv::RecipientList again;
    mv::ReadProject(again, first);
    if (Written(again) != first) {
        std::abort();
    }
    return 0;
}
