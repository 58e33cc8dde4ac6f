#pragma once
// Desktop notifications shown to the user (the copy notice).

#include <QString>

namespace keskor {

class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    /// Shows a notification; never blocks and never fails loudly: a notice that cannot be
    /// shown is dropped.
    virtual void deliver(const QString& title, const QString& subtitle,
                         const QString& informativeText) = 0;
};

} // namespace keskor
