// libFuzzer target for the browser command protocol: any bytes a browser extension may send as
// one text message, decoded as the server's delegate decodes them and run against an open
// sample database, once without and once behind the bridge password. Every reply must be a
// JSON object. Each input starts from the same database and settings, so that a finding
// reproduces from its input alone.

#include "bridge/WebSocketManager.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/Presenter.h"
#include "testing/SampleDatabase.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace keskor;

namespace {

// A user who dismisses everything: the first button, no credentials, no file.
class DefaultPresenter : public Presenter {
public:
    int alert(AlertStyle, const UiText&, const UiText&, const QList<UiText>&) override { return 0; }
    std::optional<QString> alertWithTextField(AlertStyle, const UiText&, const UiText&,
                                              const QList<UiText>&) override {
        return std::nullopt;
    }
    std::optional<CredentialsAnswer> askCredentials(const CredentialsRequest&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseFileToOpen(const UiText&, const QStringList&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseFileToSave(const UiText&, const QString&,
                                            const QStringList&) override {
        return std::nullopt;
    }
    void showBusy(const UiText&) override {}
    void hideBusy() override {}
    void bringToFront() override {}
    void openDialog(const QString&, const QVariantMap&) override {}
    void showMainWindow() override {}
    void showStartView() override {}
    void hideWindows() override {}
};

const PassFile& sampleFile() {
    static const PassFile file = keskor::testing::SampleDatabase::full();
    return file;
}

void run(const QByteArray& message, const std::optional<QString>& bridgePassword) {
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    SettingManager settings(defaults, keychain);
    settings.setAddonAutoFill(true);
    settings.setAddonAddNewFromWeb(true);
    settings.setAddonProtectPassword(bridgePassword);
    SessionManager session;
    session.open({QStringLiteral("sample.pswd"), QStringLiteral("/nonexistent")}, sampleFile(),
                 Credentials(QStringLiteral("pw"), std::nullopt));
    DefaultPresenter presenter;
    WebSocketManager manager(session, settings, presenter, [](const QString& key) { return key; });
    manager.replySink = [](const QByteArray& json) {
        if (!QJsonDocument::fromJson(json).isObject()) {
            std::abort();
        }
    };
    const QJsonDocument doc = QJsonDocument::fromJson(message);
    manager.handleCommand(doc.isObject() ? doc.object().toVariantMap() : QVariantMap());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Some commands hand work to the main thread; give them an application to hand it to.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray message(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    run(message, std::nullopt);
    run(message, QStringLiteral("bridge secret"));
    return 0;
}
