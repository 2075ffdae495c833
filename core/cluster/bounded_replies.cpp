#include "cluster/bounded_replies.h"

#include <hiredis/hiredis.h>

#include <cstdlib>
#include <cstring>

namespace mv::cluster {

namespace {

// The replies are hiredis's own redisReply objects, allocated as its reader
// allocates them, so that freeReplyObject frees them.
redisReply* NewReply(int type) {
    auto* reply = static_cast<redisReply*>(std::calloc(1, sizeof(redisReply)));
    if (reply != nullptr) reply->type = type;
    return reply;
}

// Hangs a reply into its parent array, as the reader expects of its functions.
void* Place(const redisReadTask* task, redisReply* reply) {
    if (reply != nullptr && task->parent != nullptr) {
        auto* parent = static_cast<redisReply*>(task->parent->obj);
        parent->element[task->idx] = reply;
    }
    return reply;
}

void* CreateString(const redisReadTask* task, char* text, size_t length) {
    redisReply* reply = NewReply(task->type);
    if (reply == nullptr) return nullptr;
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) {
        std::free(reply);
        return nullptr;
    }
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    reply->str = copy;
    reply->len = length;
    return Place(task, reply);
}

void* CreateArray(const redisReadTask* task, int elements) {
    auto* budget = static_cast<ReplyBudget*>(task->privdata);
    if (budget != nullptr) {
        if (task->parent == nullptr) budget->elements = 0;  // a new reply begins
        budget->elements += elements > 0 ? elements : 0;
        if (budget->elements > kMaxReplyElements) return nullptr;
    }
    redisReply* reply = NewReply(REDIS_REPLY_ARRAY);
    if (reply == nullptr) return nullptr;
    if (elements > 0) {
        reply->element = static_cast<redisReply**>(
            std::calloc(static_cast<size_t>(elements), sizeof(redisReply*)));
        if (reply->element == nullptr) {
            std::free(reply);
            return nullptr;
        }
    }
    reply->elements = elements > 0 ? static_cast<size_t>(elements) : 0;
    return Place(task, reply);
}

void* CreateInteger(const redisReadTask* task, long long value) {
    redisReply* reply = NewReply(REDIS_REPLY_INTEGER);
    if (reply != nullptr) reply->integer = value;
    return Place(task, reply);
}

void* CreateNil(const redisReadTask* task) {
    return Place(task, NewReply(REDIS_REPLY_NIL));
}

redisReplyObjectFunctions boundedFunctions = {CreateString, CreateArray, CreateInteger, CreateNil,
                                              freeReplyObject};

}  // namespace

void BoundReplies(redisReader* reader, ReplyBudget* budget) {
    reader->fn = &boundedFunctions;
    reader->privdata = budget;
}

}  // namespace mv::cluster
