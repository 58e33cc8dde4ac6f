#include "bridge/WebFormPostFlow.h"

#include "bridge/EntryUrlMatcher.h"
#include "bridge/IgnoredUrls.h"
#include "bridge/SocketXMLForms.h"
#include "bridge/WebFormCodec.h"

#include <algorithm>

namespace keskor {

WebFormPostFlow::Decision WebFormPostFlow::decide(const PassFile& file, const QString& title,
                                                  const QString& url, const QString& xmlValue,
                                                  const std::optional<QString>& loadedFingerprint) {
    Decision decision;
    decision.title = title;
    decision.url = url;
    if (IgnoredUrls::containsExactly(file, url)) {
        decision.action = Action::ignored;
        return decision;
    }

    const auto forms = SocketXMLForms::fromDocument(WebFormCodec::decodeXmlValue(xmlValue));
    if (forms.subForms.isEmpty()) {
        decision.action = Action::addEntry;
        return decision;
    }
    const SocketXMLForm& form = forms.subForms.front();
    decision.userName = form.userName();
    decision.password = form.password();

    const auto matches = EntryUrlMatcher::findMatches(file.items(), url, decision.userName);
    if (matches.empty()) {
        decision.action = Action::addEntry;
        decision.form = form;
        return decision;
    }

    std::shared_ptr<Info2Item> entry;
    if (!loadedFingerprint) {
        entry = matches.front();
    } else {
        const auto it = std::find_if(matches.begin(), matches.end(), [&](const auto& item) {
            return item->fingerprint() == *loadedFingerprint;
        });
        if (it == matches.end()) {
            return decision;
        }
        entry = *it;
    }
    const auto stored = entry->password();
    if (!stored || *stored != decision.password) {
        decision.action = Action::updatePassword;
        decision.entry = entry;
    }
    return decision;
}

} // namespace keskor
