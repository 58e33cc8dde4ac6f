#pragma once
// What the workflows of the core and the subsystems may ask of the user interface. They never
// open a window themselves: the Qt UI implements this with dialogs, the CLI with terminal
// prompts, tests with a scripted presenter. Every call is made on the main thread; the asking
// calls are modal and return the user's choice.

#include "platform/AlertStyle.h"
#include "platform/CredentialsAnswer.h"
#include "platform/CredentialsRequest.h"
#include "platform/UiText.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace keskor {

class Presenter {
public:
    virtual ~Presenter() = default;

    /// A modal alert with a message (its title line), an informative text (may be empty) and
    /// buttons in order, the first one being the default. Returns the index of the chosen
    /// button (0 = first). Without buttons a single "dialog_ok" is shown and 0 returned.
    virtual int alert(AlertStyle style, const UiText& message, const UiText& informative,
                      const QList<UiText>& buttons) = 0;

    /// An alert with an empty one-line text field under its text (a code to type in). The
    /// field's text when the first button was chosen; no value otherwise.
    virtual std::optional<QString> alertWithTextField(AlertStyle style, const UiText& message,
                                                      const UiText& informative,
                                                      const QList<UiText>& buttons) = 0;

    /// Asks for a database's password and/or key file; no value when cancelled.
    virtual std::optional<CredentialsAnswer> askCredentials(const CredentialsRequest& request) = 0;

    /// File choosers; `extensions` without dots ("pswd"), empty for any file. No value when
    /// cancelled.
    virtual std::optional<QString> chooseFileToOpen(const UiText& title,
                                                    const QStringList& extensions) = 0;
    virtual std::optional<QString> chooseFileToSave(const UiText& title,
                                                    const QString& proposedName,
                                                    const QStringList& extensions) = 0;

    /// The modal busy overlay over the main window, with a text; hideBusy removes it.
    virtual void showBusy(const UiText& text) = 0;
    virtual void hideBusy() = 0;

    /// Raises and activates the program's windows.
    virtual void bringToFront() = 0;
    /// Opens the dialog named `dialogId` with initial values; the dialog's controller does the
    /// rest.
    virtual void openDialog(const QString& dialogId, const QVariantMap& values) = 0;
    /// Shows the main window with the database view, or the start view after closing.
    virtual void showMainWindow() = 0;
    virtual void showStartView() = 0;
    /// Hides every window of the program (locking).
    virtual void hideWindows() = 0;
};

} // namespace keskor
