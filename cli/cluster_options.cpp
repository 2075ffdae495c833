#include "cluster_options.h"

#include <fstream>

#include "platform/error/exception.h"

namespace mv::cli {

namespace {

std::string FirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) throw Exception("cannot read the password file " + path);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

}  // namespace

cluster::RedisUrl ClusterRedisUrl(const ParsedArgs& args, const std::string& option, TINI& ini) {
    const std::string text = args.ValueOr(option, ini.ilClusterRedis.Text());
    if (text.empty())
        throw UsageError("--" + option +
                         " URL is needed (or the setting Cluster/Redis): redis://HOST:PORT or "
                         "unix:///PATH");
    std::string error;
    auto url = cluster::ParseRedisUrl(text, error);
    if (!url) throw UsageError("the Redis address is malformed: " + error);
    if (auto file = args.Value("redis-password-file"); file && url->password.empty())
        url->password = FirstLine(*file);
    cluster::UseStoredLogin(*url, ini.ilClusterUser.Text(), ini.ilClusterPassword.Text());
    return *url;
}

}  // namespace mv::cli
