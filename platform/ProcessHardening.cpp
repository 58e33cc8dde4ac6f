#include "platform/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace keskor {

void ProcessHardening::disableCoreDumps() {
    // Best effort: neither call can fail for an unprivileged process lowering its own limits, and
    // there is nothing better to do if one did.
    const rlimit none{0, 0};
    (void)setrlimit(RLIMIT_CORE, &none);
    (void)prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace keskor
