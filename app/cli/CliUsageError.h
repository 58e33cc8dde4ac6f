#pragma once
// A command line that does not fit the command: exit status 2 with the command's usage line.

#include "core/shared/CommonException.h"

namespace keskor {

class CliUsageError : public CommonException {
public:
    using CommonException::CommonException;
};

} // namespace keskor
