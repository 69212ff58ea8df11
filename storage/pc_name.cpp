#include "storage/pc_name.h"

#include "ledger/sync_merge.h"

#include <cstdlib>
#include <unistd.h>

std::string thisPcName() {
    if (const char* set = std::getenv("KAKEIBO_PC"); set && *set) return set;
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}

std::string thisPcFileName() {
    return safePcName(thisPcName());
}
