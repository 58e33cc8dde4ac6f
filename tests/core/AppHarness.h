#pragma once
// The application object's services over a temporary profile with in-memory settings and
// keychain; each workflow test chooses the texts, the password rating and the remote stores.

#include "core/AppDelegate.h"
#include "core/InactiveWebSocketManager.h"
#include "platform/AppPaths.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/NotificationCenter.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace keskor::test {

struct AppHarness {
    TempDir dir;
    AppPaths paths{dir.file(QStringLiteral("profile"))};
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    NotificationCenter notifications;
    keskor::testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};

    AppDelegate::Services services(
        MainManager::StorageFactory storages = {},
        DatabaseController::TextLookup text = [](const QString& key) { return key; },
        std::function<int(const QString&)> quality =
            [](const QString& password) { return static_cast<int>(password.size()) * 4; },
        QThreadPool* backupPool = nullptr) {
        return {paths,
                defaults,
                keychain,
                notifications,
                presenter,
                std::move(text),
                std::move(quality),
                false,
                std::move(storages),
                [](SessionManager&, SettingManager&) {
                    return std::make_unique<InactiveWebSocketManager>();
                },
                {},
                backupPool};
    }
};

} // namespace keskor::test
