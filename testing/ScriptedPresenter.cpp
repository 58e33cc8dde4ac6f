#include "testing/ScriptedPresenter.h"

#include <QDebug>

namespace keskor::testing {

namespace {

QString joined(const QList<UiText>& texts) {
    QStringList values;
    for (const UiText& t : texts) {
        values.append(t.value());
    }
    return u'[' + values.join(u'|') + u']';
}

QString valuesText(const QVariantMap& values) {
    QStringList pairs;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        pairs.append(it.key() + u'=' + it.value().toString());
    }
    return u'{' + pairs.join(u',') + u'}';
}

QString extensionsText(const QStringList& extensions) {
    return u'[' + extensions.join(u'|') + u']';
}

} // namespace

QString ScriptedPresenter::Call::text() const {
    switch (kind) {
    case Kind::Alert: {
        QString out = QStringLiteral("alert ") + QString::fromLatin1(alertStyleName(style)) + u' ' +
                      message.value();
        if (!informative.isEmpty()) {
            out += u'/' + informative.value();
        }
        return out + u' ' + joined(buttons);
    }
    case Kind::AlertWithTextField:
        return QStringLiteral("textField ") + QString::fromLatin1(alertStyleName(style)) + u' ' +
               message.value() + u'/' + informative.value() + u' ' + joined(buttons);
    case Kind::AskCredentials: {
        QString out = QStringLiteral("credentials ") + request.databaseName;
        if (request.askPassword) {
            out += QStringLiteral(" password");
        }
        if (request.askKeyFile) {
            out += QStringLiteral(" keyfile");
        }
        if (request.unlock) {
            out += QStringLiteral(" unlock");
        }
        return out;
    }
    case Kind::CredentialsRejected:
        return QStringLiteral("credentials rejected ") + message.value();
    case Kind::ChooseFileToOpen:
        return QStringLiteral("open ") + title.value() + u' ' + extensionsText(extensions);
    case Kind::ChooseFileToSave:
        return QStringLiteral("save ") + title.value() + u' ' + proposedName + u' ' +
               extensionsText(extensions);
    case Kind::ShowBusy:
        return QStringLiteral("busy ") + message.value();
    case Kind::HideBusy:
        return QStringLiteral("hideBusy");
    case Kind::BringToFront:
        return QStringLiteral("bringToFront");
    case Kind::OpenDialog:
        return QStringLiteral("dialog ") + dialogId + u' ' + valuesText(values);
    case Kind::ShowMainWindow:
        return QStringLiteral("showMainWindow");
    case Kind::ShowStartView:
        return QStringLiteral("showStartView");
    case Kind::HideWindows:
        return QStringLiteral("hideWindows");
    }
    return QStringLiteral("?");
}

ScriptedPresenter::ScriptedPresenter(FailureHandler onFailure)
    : m_onFailure(std::move(onFailure)) {}

QStringList ScriptedPresenter::transcript() const {
    QStringList out;
    for (const Call& call : m_calls) {
        out.append(call.text());
    }
    return out;
}

bool ScriptedPresenter::isScriptUsedUp() const noexcept {
    return m_alertAnswers.empty() && m_credentialAnswers.empty() && m_fileAnswers.empty() &&
           m_textAnswers.empty();
}

void ScriptedPresenter::fail(const QString& message) {
    m_errors.append(message);
    qCritical().noquote() << "ScriptedPresenter:" << message;
    if (m_onFailure) {
        m_onFailure(message);
    }
}

int ScriptedPresenter::alert(AlertStyle style, const UiText& message, const UiText& informative,
                             const QList<UiText>& buttons) {
    Call call;
    call.kind = Kind::Alert;
    call.style = style;
    call.message = message;
    call.informative = informative;
    call.buttons = buttons;
    const QString text = call.text();
    record(std::move(call));
    const int safe = buttons.isEmpty() ? 0 : int(buttons.size()) - 1;
    if (m_alertAnswers.empty()) {
        fail(QStringLiteral("unexpected: %1").arg(text));
        return safe;
    }
    const int answer = m_alertAnswers.front();
    m_alertAnswers.pop_front();
    const int count = buttons.isEmpty() ? 1 : int(buttons.size());
    if (answer < 0 || answer >= count) {
        fail(QStringLiteral("scripted button %1 does not exist: %2").arg(answer).arg(text));
        return safe;
    }
    return answer;
}

std::optional<QString> ScriptedPresenter::alertWithTextField(AlertStyle style,
                                                             const UiText& message,
                                                             const UiText& informative,
                                                             const QList<UiText>& buttons) {
    Call call;
    call.kind = Kind::AlertWithTextField;
    call.style = style;
    call.message = message;
    call.informative = informative;
    call.buttons = buttons;
    const QString text = call.text();
    record(std::move(call));
    if (m_textAnswers.empty()) {
        fail(QStringLiteral("unexpected: %1").arg(text));
        return std::nullopt;
    }
    // Copied out before the pop, as in nextFile().
    const std::optional<QString> answer = m_textAnswers.front();
    m_textAnswers.pop_front();
    return answer;
}

std::optional<CredentialsAnswer>
ScriptedPresenter::askCredentials(const CredentialsRequest& request) {
    Call call;
    call.kind = Kind::AskCredentials;
    call.request = request;
    const QString text = call.text();
    record(std::move(call));
    if (m_credentialAnswers.empty()) {
        fail(QStringLiteral("unexpected: %1").arg(text));
        return std::nullopt;
    }
    while (!m_credentialAnswers.empty()) {
        std::optional<CredentialsAnswer> answer = m_credentialAnswers.front();
        m_credentialAnswers.pop_front();
        if (!answer || !request.validate) {
            return answer;
        }
        const std::optional<UiText> error = request.validate(*answer);
        if (!error) {
            return answer;
        }
        Call rejected;
        rejected.kind = Kind::CredentialsRejected;
        rejected.message = *error;
        record(std::move(rejected));
    }
    return std::nullopt;
}

std::optional<QString> ScriptedPresenter::nextFile(const Call& call) {
    if (m_fileAnswers.empty()) {
        fail(QStringLiteral("unexpected: %1").arg(call.text()));
        return std::nullopt;
    }
    // Copied out before the pop; a cancelled choice is an empty optional in the queue.
    const bool chosen = m_fileAnswers.front().has_value();
    const QString path = chosen ? *m_fileAnswers.front() : QString();
    m_fileAnswers.pop_front();
    return chosen ? std::optional<QString>(path) : std::nullopt;
}

std::optional<QString> ScriptedPresenter::chooseFileToOpen(const UiText& title,
                                                           const QStringList& extensions) {
    Call call;
    call.kind = Kind::ChooseFileToOpen;
    call.title = title;
    call.extensions = extensions;
    record(call);
    return nextFile(call);
}

std::optional<QString> ScriptedPresenter::chooseFileToSave(const UiText& title,
                                                           const QString& proposedName,
                                                           const QStringList& extensions) {
    Call call;
    call.kind = Kind::ChooseFileToSave;
    call.title = title;
    call.proposedName = proposedName;
    call.extensions = extensions;
    record(call);
    return nextFile(call);
}

void ScriptedPresenter::showBusy(const UiText& text) {
    Call call;
    call.kind = Kind::ShowBusy;
    call.message = text;
    record(std::move(call));
}

void ScriptedPresenter::hideBusy() {
    Call call;
    call.kind = Kind::HideBusy;
    record(std::move(call));
}

void ScriptedPresenter::bringToFront() {
    Call call;
    call.kind = Kind::BringToFront;
    record(std::move(call));
}

void ScriptedPresenter::openDialog(const QString& dialogId, const QVariantMap& values) {
    Call call;
    call.kind = Kind::OpenDialog;
    call.dialogId = dialogId;
    call.values = values;
    record(std::move(call));
}

void ScriptedPresenter::showMainWindow() {
    Call call;
    call.kind = Kind::ShowMainWindow;
    record(std::move(call));
}

void ScriptedPresenter::showStartView() {
    Call call;
    call.kind = Kind::ShowStartView;
    record(std::move(call));
}

void ScriptedPresenter::hideWindows() {
    Call call;
    call.kind = Kind::HideWindows;
    record(std::move(call));
}

} // namespace keskor::testing
