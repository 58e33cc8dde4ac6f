#pragma once
// The demonstration database that `make run` opens: a few folders and entries of several
// kinds, a favourite and an entry in the trash, with a known password.

#include "core/shared/PassFile.h"

namespace keskor {

class DemoDatabase {
public:
    static inline const QString kPassword = QStringLiteral("correct horse battery staple");
    static PassFile create();
};

} // namespace keskor
