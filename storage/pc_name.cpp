#include "storage/pc_name.h"

#include "ledger/sync_merge.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

std::string localPcName() {
    if (const char* given = std::getenv("KAKEIBO_PC"); given && *given) return safePcName(given);
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return safePcName("");
    return safePcName(host);
}
