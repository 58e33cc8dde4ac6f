#pragma once
// Opening a large database touches tens of megabytes of fresh heap, and on Debian's default
// setting of transparent huge pages ("madvise") each 4 KiB page costs a fault; on a virtual
// machine the faults take longer than the parsing. glibc backs its heap with 2 MiB pages only
// when GLIBC_TUNABLES asks for it at start-up, so the program re-executes itself once with the
// tunable set. Children get the environment as it was.

namespace keskor {

class HugePageHeap {
public:
    /// Call first in main(), before anything reads standard input. Returns at once when huge
    /// pages would not help (set to "always" or "never", a user's own glibc.malloc.hugetlb, a
    /// sanitizer's allocator) and when the re-execution fails.
    static void enable(char** argv);
};

} // namespace keskor
