#include "tools/KeyGeneratorViewController.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"

#include <cstdio>

namespace keskor {

KeyGeneratorViewController::KeyGeneratorViewController(Presenter& presenter, Delegate delegate,
                                                       KeyGenerator generator)
    : m_presenter(presenter), m_delegate(std::move(delegate)),
      m_generator(generator ? std::move(generator)
                            : KeyGenerator(&KeyHelper::generateExternalKey)) {
    makeKey();
}

void KeyGeneratorViewController::makeKey() {
    QByteArray text = m_generator();
    m_keyText = SecureBytes::fromByteArray(text);
    secureWipe(text);
}

void KeyGeneratorViewController::mouseMoved() {
    if (m_state.progress <= kProgressFull) {
        m_state.progress += kProgressStep;
        return;
    }
    if (m_state.keyField.isEmpty()) {
        m_state.keyField = m_keyText.toText();
    }
}

void KeyGeneratorViewController::onRefresh() {
    makeKey();
    m_state.progress = 0.0;
    secureWipe(m_state.keyField);
    m_state.keyField.clear();
    // A file saved before holds the old key: it must be saved again before OK.
    m_state.fileField.clear();
    m_state.okEnabled = false;
}

bool KeyGeneratorViewController::onSave() {
    const auto path = m_presenter.chooseFileToSave(UiText::key(QStringLiteral("key_gen")),
                                                   QString(), {QLatin1String(kExtension)});
    if (!path) {
        return false;
    }
    try {
        saveTo(*path);
    } catch (const CommonException& e) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::plain(e.message()), {});
        return false;
    }
    return true;
}

void KeyGeneratorViewController::saveTo(const QString& chosen) {
    QString path = chosen;
    const QString suffix = QLatin1Char('.') + QLatin1String(kExtension);
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) {
        path += suffix;
    }
    QString error;
    if (!AtomicFile::write(path, reinterpret_cast<const char*>(m_keyText.data()),
                           static_cast<qint64>(m_keyText.size()), &error)) {
        throw CommonException(QStringLiteral("The key file could not be written: %1").arg(error));
    }
    m_state.fileField = path;
    m_state.okEnabled = true;
}

void KeyGeneratorViewController::onOk() {
    if (!m_state.okEnabled) {
        return;
    }
    QByteArray text = m_keyText.toByteArray();
    try {
        const Key256 key = KeyHelper::parseExternalKey(text);
        secureWipe(text);
        if (m_delegate) {
            m_delegate(key, m_state.fileField);
        }
        m_closed = true;
    } catch (const CommonException& e) {
        secureWipe(text);
        // Diagnostics the user never sees go to standard output; the text carries no key.
        std::printf("Key file could not be parsed: %s\n", e.what());
        std::fflush(stdout);
    }
}

} // namespace keskor
