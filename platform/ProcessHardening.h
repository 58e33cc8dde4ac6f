#pragma once
// Keeps the master password and derived keys out of core files and away from same-user ptrace
// attachers that rely on the process being dumpable.

namespace keskor {

class ProcessHardening {
public:
    /// Turns core dumps off for this process (RLIMIT_CORE 0, not dumpable). Call first in main().
    static void disableCoreDumps();
};

} // namespace keskor
