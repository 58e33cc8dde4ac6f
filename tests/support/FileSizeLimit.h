#pragma once
// Lowers the process's file-size limit for a scope, so a write fails the way it does on a full
// disk (EFBIG instead of SIGXFSZ) whatever rights the test runs with.

#include <sys/resource.h>

namespace keskor::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace keskor::test
