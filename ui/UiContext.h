#pragma once
// What every window and dialog of the desktop program works with: the application object
// with its workflows and managers, the item changes of the main view and the shared services.
// Built once by the composition root (app/keskor_main.cpp) and handed to each widget by
// reference; it owns nothing.

#include "tools/TextLookup.h"

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QWidget;

namespace keskor {

class AppDelegate;
class ClipboardHelper;
class Clock;
class EncryptionHelper;
class Info2Item;
class ItemActions;
class Localizer;
class LockManager;
class NotificationCenter;
class Presenter;
class PwnedPasswordsClient;
class RandomSource;

struct UiContext {
    AppDelegate& app;
    ItemActions& items;
    Presenter& presenter;
    const Localizer& localizer;
    /// The string table's lookup, for the controllers that take one.
    TextLookup text;
    ClipboardHelper& clipboard;
    Clock& clock;
    RandomSource& random;
    NotificationCenter& notifications;
    const EncryptionHelper& protection;
    QNetworkAccessManager& network;
    PwnedPasswordsClient& pwned;
    LockManager& lock;
    /// The folder selected in the main view (null: the database's top level).
    std::function<Info2Item*()> selectedFolder;
    /// The window dialogs open over (the main window once it exists).
    std::function<QWidget*()> dialogParent;
};

} // namespace keskor
