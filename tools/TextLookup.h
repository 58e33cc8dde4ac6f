#pragma once
// How the dialog controllers of the entry tools turn a localisation key into its text, for
// labels and composed alert texts that mix localised words with numbers and user input. The
// application passes its string table's lookup; tests pass one that marks keys visibly.

#include <QString>
#include <functional>

namespace keskor {

using TextLookup = std::function<QString(const QString& key)>;

} // namespace keskor
