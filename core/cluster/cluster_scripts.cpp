#include "cluster/cluster_scripts.h"

namespace mv::cluster {

namespace {

// KEYS: run hash, work, events, final bitmap, delayed, by-worker, worker hash.
// ARGV: entry id, row, worker, findings line, transcript, email, final (1/0),
// recheck delay (ms), delayed member, resend (1/0), try.
// A resent result (its first sending may have been carried out before the
// connection broke) is written only while its entry is still pending.
constexpr const char* kReportText = R"lua(
if ARGV[10] == '1' then
  local p = redis.call('XPENDING', KEYS[2], 'workers', ARGV[1], ARGV[1], 1)
  if #p == 0 then return 0 end
end
local final = ARGV[7]
local due = ''
if final == '0' then
  if redis.call('HGET', KEYS[1], 'state') == 'cancelled' then
    final = '1'
  else
    local t = redis.call('TIME')
    due = tostring(tonumber(t[1]) * 1000 + math.floor(tonumber(t[2]) / 1000) + tonumber(ARGV[8]))
    redis.call('ZADD', KEYS[5], due, ARGV[9])
  end
end
redis.call('XADD', KEYS[3], '*', 'type', 'result', 'row', ARGV[2], 'worker', ARGV[3],
  'try', ARGV[11], 'final', final, 'due', due, 'email', ARGV[6], 'finding', ARGV[4],
  'transcript', ARGV[5])
if final == '1' then
  if redis.call('SETBIT', KEYS[4], ARGV[2], 1) == 1 then
    redis.call('HINCRBY', KEYS[1], 'duplicates', 1)
  else
    redis.call('HINCRBY', KEYS[1], 'done', 1)
    redis.call('HINCRBY', KEYS[6], ARGV[3], 1)
  end
end
redis.call('HINCRBY', KEYS[7], 'done', 1)
redis.call('XACK', KEYS[2], 'workers', ARGV[1])
return 1
)lua";

// KEYS: run hash, work, events, final bitmap. ARGV: entry id, worker,
// message, row ('' when the entry has no usable row).
// A corrupted entry whose row is known ends that row: nothing else will.
constexpr const char* kReportErrorText = R"lua(
redis.call('XADD', KEYS[3], '*', 'type', 'error', 'entry', ARGV[1], 'worker', ARGV[2],
  'message', ARGV[3], 'row', ARGV[4])
if ARGV[4] ~= '' and redis.call('SETBIT', KEYS[4], ARGV[4], 1) == 0 then
  redis.call('HINCRBY', KEYS[1], 'done', 1)
end
redis.call('XACK', KEYS[2], 'workers', ARGV[1])
return 1
)lua";

// KEYS: delayed, work, run hash. ARGV: the most to move.
constexpr const char* kMoveDueText = R"lua(
if redis.call('HGET', KEYS[3], 'state') == 'cancelled' then return 0 end
local t = redis.call('TIME')
local now = tonumber(t[1]) * 1000 + math.floor(tonumber(t[2]) / 1000)
local due = redis.call('ZRANGEBYSCORE', KEYS[1], '-inf', now, 'LIMIT', 0, tonumber(ARGV[1]))
for _, m in ipairs(due) do
  local row, try, address, email = string.match(m, '^(%d+)\t(%d+)\t([^\t]*)\t(.*)$')
  if row then
    redis.call('XADD', KEYS[2], '*', 'row', row, 'address', address, 'email', email, 'try', try)
  end
  redis.call('ZREM', KEYS[1], m)
end
return #due
)lua";

// KEYS: run hash, work, delayed, events. Returns -1 for an unknown run, 0
// when it was cancelled already, 1.
constexpr const char* kCancelText = R"lua(
if redis.call('EXISTS', KEYS[1]) == 0 then return -1 end
if redis.call('HGET', KEYS[1], 'state') == 'cancelled' then return 0 end
redis.call('HSET', KEYS[1], 'state', 'cancelled')
redis.call('XTRIM', KEYS[2], 'MAXLEN', 0)
redis.call('DEL', KEYS[3])
redis.call('XADD', KEYS[4], '*', 'type', 'cancelled')
return 1
)lua";

const char* TextOf(Script script) {
    switch (script) {
        case Script::kReport:
            return kReportText;
        case Script::kReportError:
            return kReportErrorText;
        case Script::kMoveDue:
            return kMoveDueText;
        case Script::kCancel:
            return kCancelText;
    }
    return "";
}

std::vector<std::string> Call(const std::string& verb, const std::string& script,
                              const std::vector<std::string>& keys,
                              const std::vector<std::string>& args) {
    std::vector<std::string> argv = {verb, script, std::to_string(keys.size())};
    argv.insert(argv.end(), keys.begin(), keys.end());
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

bool ScriptRunner::Run(Script script, const std::vector<std::string>& keys,
                       const std::vector<std::string>& args,
                       RedisConnection::ReplyHandler handler) {
    const auto n = static_cast<size_t>(script);
    const std::string text = TextOf(script);
    if (!handler) handler = [](const RedisValue&) {};
    if (digests_[n].empty()) {
        // Learn the digest for the next time; this time the text goes along.
        connection_.Command({"SCRIPT", "LOAD", text}, [this, n](const RedisValue& r) {
            if (r.IsText()) digests_[n] = r.text;
        });
        return connection_.Command(Call("EVAL", text, keys, args), std::move(handler));
    }
    return connection_.Command(
        Call("EVALSHA", digests_[n], keys, args),
        [this, n, text, keys, args, handler = std::move(handler)](const RedisValue& r) {
            if (!r.IsError() || r.text.rfind("NOSCRIPT", 0) != 0) return handler(r);
            digests_[n].clear();  // the server forgot it: send the text
            // A connection lost meanwhile leaves the handler uncalled, as
            // for any other command.
            connection_.Command(Call("EVAL", text, keys, args), handler);
        });
}

}  // namespace mv::cluster
