// The Redis server that the cluster commands talk to, from the command line
// and the stored settings.
#pragma once

#include <string>

#include "cli_args.h"
#include "cluster/redis_url.h"
#include "settings/tini.h"

namespace mv::cli {

// The address from `option` (--redis, or check's --cluster), else the
// setting Cluster/Redis; the user and password from the address, else the
// first line of --redis-password-file, else Cluster/User and
// Cluster/Password. Raises UsageError for a missing or malformed address
// (its message never holds the password) and mv::Exception for a password
// file that cannot be read.
cluster::RedisUrl ClusterRedisUrl(const ParsedArgs& args, const std::string& option, TINI& ini);

}  // namespace mv::cli
