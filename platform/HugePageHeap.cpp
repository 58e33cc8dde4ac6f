#include "platform/HugePageHeap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// A sanitizer's allocator ignores glibc's tunables.
#if defined(__SANITIZE_ADDRESS__)
#define KESKOR_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define KESKOR_OWN_ALLOCATOR 1
#endif
#endif
#ifndef KESKOR_OWN_ALLOCATOR
#define KESKOR_OWN_ALLOCATOR 0
#endif

namespace keskor {
namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
// Set for the second run only: empty when GLIBC_TUNABLES was unset, else "=" and its value.
constexpr const char* kBefore = "KESKOR_TUNABLES_BEFORE";
constexpr const char* kHugeTlb = "glibc.malloc.hugetlb";

bool hugePagesOnRequest() {
    std::FILE* f = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "re");
    if (f == nullptr) {
        return false;
    }
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    return read && std::strstr(line, "[madvise]") != nullptr;
}

// Started through the dynamic loader (`ld.so ./keskor`), /proc/self/exe is the loader, which
// would take the first argument for the program.
bool startedDirectly() {
    char target[4096];
    const ssize_t n = readlink("/proc/self/exe", target, sizeof target - 1);
    if (n <= 0) {
        return false;
    }
    target[n] = '\0';
    const char* slash = std::strrchr(target, '/');
    return std::strncmp(slash != nullptr ? slash + 1 : target, "ld-", 3) != 0;
}

void restore(const char* before) {
    if (before[0] == '=') {
        setenv(kTunables, before + 1, 1);
    } else {
        unsetenv(kTunables);
    }
    unsetenv(kBefore);
}

} // namespace

void HugePageHeap::enable(char** argv) {
    if (KESKOR_OWN_ALLOCATOR) {
        return;
    }
    if (const char* before = std::getenv(kBefore)) {
        restore(before); // second run: glibc has read the tunable
        return;
    }
    const char* current = std::getenv(kTunables);
    if ((current != nullptr && std::strstr(current, kHugeTlb) != nullptr) ||
        !hugePagesOnRequest() || !startedDirectly()) {
        return;
    }
    const std::string before = current != nullptr ? "=" + std::string(current) : std::string();
    std::string tunables =
        current != nullptr && current[0] != '\0' ? current + std::string(":") : "";
    tunables += kHugeTlb;
    tunables += "=1";
    setenv(kBefore, before.c_str(), 1);
    setenv(kTunables, tunables.c_str(), 1);
    execv("/proc/self/exe", argv);
    restore(before.c_str()); // exec failed: run on as we are
}

} // namespace keskor
