#pragma once
// The presenter of the desktop program: alerts as message boxes, the credentials prompt, file
// dialogs, a busy overlay over the main window, and the dialogs the workflows ask for by name,
// opened through the openers the composition registers.

#include "platform/Presenter.h"

#include <QHash>
#include <QPointer>
#include <functional>

class QWidget;

namespace keskor {

class BusyOverlay;
class Localizer;

class QtPresenter : public Presenter {
public:
    using DialogOpener = std::function<void(const QVariantMap& values)>;

    explicit QtPresenter(const Localizer& localizer);
    ~QtPresenter() override;

    /// The window dialogs are centred on; the start and database views switch in it.
    struct Window {
        std::function<QWidget*()> widget;
        std::function<void()> showDatabaseView;
        std::function<void()> showStartView;
    };
    void setWindow(Window window) { m_window = std::move(window); }
    void registerDialog(const QString& dialogId, DialogOpener opener);

    int alert(AlertStyle style, const UiText& message, const UiText& informative,
              const QList<UiText>& buttons) override;
    std::optional<QString> alertWithTextField(AlertStyle style, const UiText& message,
                                              const UiText& informative,
                                              const QList<UiText>& buttons) override;
    std::optional<CredentialsAnswer> askCredentials(const CredentialsRequest& request) override;
    std::optional<QString> chooseFileToOpen(const UiText& title,
                                            const QStringList& extensions) override;
    std::optional<QString> chooseFileToSave(const UiText& title, const QString& proposedName,
                                            const QStringList& extensions) override;
    void showBusy(const UiText& text) override;
    void hideBusy() override;
    void bringToFront() override;
    void openDialog(const QString& dialogId, const QVariantMap& values) override;
    void showMainWindow() override;
    void showStartView() override;
    void hideWindows() override;

    /// "Databases (*.pswd *.pswe)" for the extensions, and "All files (*)".
    static QString nameFilter(const QStringList& extensions);

private:
    QWidget* parent() const;

    const Localizer& m_localizer;
    Window m_window;
    QHash<QString, DialogOpener> m_dialogs;
    QPointer<BusyOverlay> m_busy;
};

} // namespace keskor
