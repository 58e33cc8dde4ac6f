#include "bridge/AutoCompleteHelper.h"

#include "platform/ClickMonitor.h"
#include "platform/Clipboard.h"

#include <QSet>
#include <cmath>

namespace keskor {

namespace {

bool same(const QString& token, const char* name) {
    return token.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

AutoCompleteHelper::Step chord(InjectedKey key, int waitMs = 0, bool control = false) {
    AutoCompleteHelper::Step step;
    step.kind = AutoCompleteHelper::Step::Kind::chord;
    step.waitMs = waitMs;
    step.chord = KeyChord{key, control, false};
    return step;
}

AutoCompleteHelper::Step waitFor(int ms) {
    AutoCompleteHelper::Step step;
    step.waitMs = ms;
    return step;
}

QList<AutoCompleteHelper::Step> pasteOf(const QString& text) {
    AutoCompleteHelper::Step set;
    set.kind = AutoCompleteHelper::Step::Kind::setClipboard;
    set.waitMs = 200;
    set.text = text;
    AutoCompleteHelper::Step paste;
    paste.kind = AutoCompleteHelper::Step::Kind::paste;
    paste.waitMs = 300;
    return {set, paste};
}

} // namespace

AutoCompleteHelper::AutoCompleteHelper(Services services) : m_services(std::move(services)) {
    m_services.clicks.setClickHandler([this](QPoint at) { clicked(at); });
    m_services.windows.setActivationHandler(
        [this](const ActiveWindow& window) { isBrowserActivated = !isOwn(window); });
}

AutoCompleteHelper::~AutoCompleteHelper() {
    m_services.clicks.setClickHandler({});
    m_services.windows.setActivationHandler({});
    if (m_timer) {
        m_services.clock.cancel(*m_timer);
    }
    for (const std::optional<Clock::TimerId>& timer : {m_clipboardTimer, m_settleTimer}) {
        if (timer) {
            m_services.clock.cancel(*timer);
        }
    }
}

bool AutoCompleteHelper::isOwn(const ActiveWindow& window) const {
    return (m_services.ownPid != 0 && window.pid == m_services.ownPid) ||
           window.appName.compare(QLatin1String("keskor"), Qt::CaseInsensitive) == 0;
}

bool AutoCompleteHelper::isTerminal(const QString& appName) {
    static const QSet<QString> terminals = {
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("konsole"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("terminator"),
        QStringLiteral("tilix"),
        QStringLiteral("alacritty"),
        QStringLiteral("kitty"),
        QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("foot"),
        QStringLiteral("sakura"),
        QStringLiteral("terminology"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("ptyxis"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("yakuake"),
    };
    return terminals.contains(appName.toLower());
}

void AutoCompleteHelper::start(const Info2Item& entry, std::function<void()> success) {
    infoItem = entry;
    _successCallback = std::move(success);
    hasToRunAutoComplete = true;
}

bool AutoCompleteHelper::runNow(const Info2Item& entry, std::function<void()> success) {
    const std::optional<ActiveWindow> active = m_services.windows.activeWindow();
    if (isRunning() || !active || isOwn(*active)) {
        return false;
    }
    infoItem = entry;
    _successCallback = std::move(success);
    hasToRunAutoComplete = false;
    begin(*active);
    return true;
}

void AutoCompleteHelper::clicked(QPoint at) {
    if (!hasToRunAutoComplete || isRunning() || m_settleTimer ||
        (m_services.ownWindowAt && m_services.ownWindowAt(at))) {
        return;
    }
    m_settleTimer = m_services.clock.singleShot(kFocusSettleMs, [this] {
        m_settleTimer.reset();
        // The window manager has activated the clicked window by now; a notice of it may not
        // have arrived, so ask afresh.
        const std::optional<ActiveWindow> active = m_services.windows.activeWindow();
        isBrowserActivated = active && !isOwn(*active);
        if (!hasToRunAutoComplete || !isBrowserActivated || isRunning()) {
            return;
        }
        hasToRunAutoComplete = false;
        begin(*active);
    });
}

QStringList AutoCompleteHelper::tokensOf(const QString& autoTypeTemplate) {
    QStringList tokens;
    for (const QString& piece : autoTypeTemplate.split(QLatin1Char('>'), Qt::SkipEmptyParts)) {
        tokens.append(piece.mid(1));
    }
    return tokens;
}

QList<AutoCompleteHelper::Step>
AutoCompleteHelper::stepsFor(const QString& token, const Info2Item* entry, QStringList* missing) {
    if (same(token, "USER") || same(token, "PASS")) {
        const std::optional<QString> value =
            entry ? entry->text(same(token, "USER") ? ItemText::UserName : ItemText::Password)
                  : std::nullopt;
        return pasteOf(value ? *value : QString());
    }
    static const struct {
        const char* name;
        InjectedKey key;
    } plainKeys[] = {
        {"TAB", InjectedKey::Tab},         {"SPACE", InjectedKey::Space},
        {"ARROW_LEFT", InjectedKey::Left}, {"ARROW_RIGHT", InjectedKey::Right},
        {"ARROW_UP", InjectedKey::Up},     {"ARROW_DOWN", InjectedKey::Down},
        {"HOME", InjectedKey::Home},       {"END", InjectedKey::End},
        {"DELETE", InjectedKey::Delete},   {"BACKSPACE", InjectedKey::Backspace},
    };
    if (same(token, "ENTER")) {
        return {chord(InjectedKey::Enter, 1000)};
    }
    if (same(token, "CLEAR")) {
        return {chord(InjectedKey::A, 300, true), chord(InjectedKey::Backspace)};
    }
    for (const auto& plain : plainKeys) {
        if (same(token, plain.name)) {
            return {chord(plain.key)};
        }
    }
    if (token.contains(QLatin1String("DELAY"), Qt::CaseInsensitive)) {
        bool ok = false;
        const double seconds = token.mid(token.lastIndexOf(QLatin1Char('=')) + 1).toDouble(&ok);
        // Not a number, negative or not finite: no wait rather than a stuck run.
        const double ms = ok && std::isfinite(seconds) && seconds > 0 ? seconds * 1000.0 : 0.0;
        return {waitFor(int(std::lround(std::min(ms, double(kMaxDelayMs)))))};
    }
    const PswField* field = entry ? entry->customField(token) : nullptr;
    // Token names are matched without regard to case, so field names are too when no field
    // has the name exactly.
    for (int i = 0; entry && !field && i < entry->customFields().size(); ++i) {
        if (entry->customFields()[i].name.compare(token, Qt::CaseInsensitive) == 0) {
            field = &entry->customFields()[i];
        }
    }
    if (!field) {
        // Nothing is pasted for a field the entry lacks; the user hears about it at the end.
        if (missing && !missing->contains(token)) {
            missing->append(token);
        }
        return {waitFor(500)};
    }
    return pasteOf(field->value);
}

void AutoCompleteHelper::runToken(const QString& token) {
    const Info2Item* entry = infoItem ? &*infoItem : nullptr;
    for (const Step& step : stepsFor(token, entry, &m_missing)) {
        m_steps.push_back(step);
    }
    if (isRunning() && !m_timer) {
        scheduleNext();
    }
}

void AutoCompleteHelper::begin(const ActiveWindow& target) {
    m_target = target;
    m_steps.clear();
    m_missing.clear();
    runToken(QStringLiteral("CLEAR"));
    if (infoItem) {
        const std::optional<QString> own = infoItem->autoTypeTemplate();
        const QString templ =
            own && !own->trimmed().isEmpty() ? *own : QString::fromLatin1(kDefaultTemplate);
        for (const QString& token : tokensOf(templ)) {
            runToken(token);
        }
    }
}

void AutoCompleteHelper::scheduleNext() {
    if (m_steps.empty()) {
        finish();
        return;
    }
    const Step step = m_steps.front();
    m_steps.pop_front();
    m_timer = m_services.clock.singleShot(step.waitMs, [this, step] {
        m_timer.reset();
        const std::optional<ActiveWindow> active = m_services.windows.activeWindow();
        if (!active || active->id != m_target->id) {
            stop(UiText::key(QStringLiteral("autocomplete_window_lost")), {});
            return;
        }
        perform(step);
        scheduleNext();
    });
}

void AutoCompleteHelper::perform(const Step& step) {
    switch (step.kind) {
    case Step::Kind::chord:
        // A refused key (the server said no) is skipped; the run goes on as typing would.
        m_services.keys.sendChord(step.chord);
        break;
    case Step::Kind::setClipboard:
        m_services.clipboard.setText(step.text, true);
        m_lastPasted = step.text;
        break;
    case Step::Kind::paste:
        m_services.keys.sendChord(KeyChord{InjectedKey::V, true, isTerminal(m_target->appName)});
        break;
    case Step::Kind::wait:
        break;
    }
}

void AutoCompleteHelper::finish() {
    if (m_missing.isEmpty()) {
        stop({}, {});
    } else {
        stop(UiText::key(QStringLiteral("autocomplete_missing_fields")),
             UiText::plain(m_missing.join(QStringLiteral(", "))));
    }
}

void AutoCompleteHelper::stop(const UiText& problem, const UiText& detail) {
    if (m_timer) {
        m_services.clock.cancel(*m_timer);
        m_timer.reset();
    }
    m_steps.clear();
    m_target.reset();
    if (!problem.isEmpty() && onProblem) {
        onProblem(problem, detail);
    }
    if (m_lastPasted) {
        // Leave the secret long enough for a slow target to fetch it, then take it away unless
        // the user has copied something else meanwhile.
        if (m_clipboardTimer) {
            m_services.clock.cancel(*m_clipboardTimer);
        }
        m_clipboardTimer =
            m_services.clock.singleShot(kClipboardKeepMs, [this, text = *m_lastPasted] {
                m_clipboardTimer.reset();
                if (m_services.clipboard.text() == text) {
                    m_services.clipboard.clear();
                }
            });
        m_lastPasted.reset();
    }
    if (std::function<void()> done = std::move(_successCallback)) {
        _successCallback = nullptr;
        done();
    }
}

} // namespace keskor
