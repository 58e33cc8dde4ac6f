#pragma once
// The system clipboard as the program uses it: put one text on it (marked when it is a
// secret), read it, empty it.

#include <QString>

namespace keskor {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    /// Replaces the clipboard's content with `text` as its only item. A secret is marked so
    /// that clipboard managers and history tools leave it out.
    virtual void setText(const QString& text, bool secret) = 0;
    virtual QString text() const = 0;
    /// Empties the clipboard, whoever put the content there.
    virtual void clear() = 0;
};

} // namespace keskor
