// Plays arbitrary bytes as a Redis server's replies through hiredis's reader
// and the cluster's readers of them: the reply of XREAD or XREADGROUP, its
// entries as work entries and events, and a hash as a field list. Whatever a
// server (or a hand that wrote into its keys) sends, the readers give a value
// or "malformed", never a crash; every work entry they take lies inside the
// run.
#include <hiredis/hiredis.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "cluster/cluster_entries.h"
#include "cluster/redis_url.h"
#include "cluster/redis_value.h"

namespace {

constexpr size_t kRows = 1000;

void Check(bool condition) {
    if (!condition) std::abort();
}

void Read(const mv::cluster::RedisValue& value) {
    using namespace mv::cluster;
    ReadFieldList(value);
    ReadEntries(value);
    const auto streams = ReadStreams(value);
    if (!streams) return;
    for (const auto& [key, entries] : *streams) {
        for (const StreamEntry& entry : entries) {
            std::string error;
            if (const auto item = ReadWorkItem(entry, kRows, error)) Check(item->row < kRows);
            if (const auto event = ReadEvent(entry, error);
                event && event->type == ClusterEvent::Type::kResult)
                Check(event->record.row == event->row);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    mv::cluster::ParseRedisUrl(text, error);
    redisReader* reader = redisReaderCreate();
    if (reader == nullptr) return 0;
    redisReaderFeed(reader, text.data(), text.size());
    for (int i = 0; i < 64; ++i) {
        void* reply = nullptr;
        if (redisReaderGetReply(reader, &reply) != REDIS_OK || reply == nullptr) break;
        Read(mv::cluster::FromHiredisReply(static_cast<const redisReply*>(reply)));
        freeReplyObject(reply);
    }
    redisReaderFree(reader);
    return 0;
}
