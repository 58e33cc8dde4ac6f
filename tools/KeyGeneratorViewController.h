#pragma once
// The logic of the key-file generator without its widgets. The key is made at once; mouse
// movements only fill the progress bar that gates showing it. Saving writes the key file
// atomically; OK hands the parsed key and the file's path to the delegate.

#include "core/shared/Key256.h"
#include "core/shared/SecureBytes.h"
#include "platform/Presenter.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace keskor {

struct KeyGeneratorState {
    /// Window title (a localisation key).
    QString title = QStringLiteral("key_gen");
    double progress = 0.0;
    /// Empty until the progress bar is full.
    QString keyField;
    QString fileField;
    bool okEnabled = false;
    QString animationAsset = QStringLiteral("matrix");
};

class KeyGeneratorViewController {
public:
    using KeyGenerator = std::function<QByteArray()>;
    using Delegate = std::function<void(const Key256& key, const QString& keyFilePath)>;

    static constexpr double kProgressStep = 0.4;
    static constexpr double kProgressFull = 100.0;
    static constexpr const char* kExtension = "krk";

    /// `generator` makes the key file's text (KeyHelper::generateExternalKey in the program).
    KeyGeneratorViewController(Presenter& presenter, Delegate delegate,
                               KeyGenerator generator = {});

    const KeyGeneratorState& state() const noexcept { return m_state; }
    bool isClosed() const noexcept { return m_closed; }

    void mouseMoved();
    void onRefresh();
    /// Asks where to save; true when the key file was written.
    bool onSave();
    /// Writes the key text to `path` (".krk" appended when missing); throws CommonException.
    void saveTo(const QString& path);
    void onOk();
    void onCancel() { m_closed = true; }

private:
    void makeKey();

    Presenter& m_presenter;
    Delegate m_delegate;
    KeyGenerator m_generator;
    SecureBytes m_keyText;
    KeyGeneratorState m_state;
    bool m_closed = false;
};

} // namespace keskor
