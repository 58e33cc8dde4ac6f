#pragma once
// What to do with a form the user has just submitted in the browser: nothing (its URL is
// ignored, or the stored password is already the submitted one), offer to save a new entry,
// or offer to store the changed password in the entry it belongs to. Pure decision: the
// caller opens the dialog, after checking the lock state.

#include "bridge/SocketXMLForm.h"
#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"

#include <QString>
#include <memory>
#include <optional>

namespace keskor {

class WebFormPostFlow {
public:
    enum class Action : int {
        /// The URL is on the database's ignored list (the whole text, exactly).
        ignored = 0,
        /// The entry already holds this password, or the previously filled entry is not among
        /// the matches.
        none = 1,
        addEntry = 2,
        updatePassword = 3,
    };

    struct Decision {
        Action action = Action::none;
        QString title;
        QString url;
        /// The first form of the page, when there is one (add).
        std::optional<SocketXMLForm> form;
        /// The credentials of the first form; empty texts without one.
        QString userName;
        QString password;
        /// The entry whose password changes (update).
        std::shared_ptr<Info2Item> entry;
    };

    /// `xmlValue` is the request's "xml" value as sent; `loadedFingerprint` the entry of the
    /// last fill, if any.
    static Decision decide(const PassFile& file, const QString& title, const QString& url,
                           const QString& xmlValue,
                           const std::optional<QString>& loadedFingerprint);
};

} // namespace keskor
