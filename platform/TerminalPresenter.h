#pragma once
// The presenter of the terminal programs (`keskor --headless`, the CLI): alerts go to standard
// error, questions are asked on the terminal. Without a terminal a question takes its last
// button (our alerts' cancel) and the password is read as one line from standard input, so
// scripts can pipe it.

#include "platform/Presenter.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

namespace keskor {

class TerminalPresenter : public Presenter {
public:
    using TextLookup = std::function<QString(const QString& key)>;

    /// `keyFile` answers every key-file question (the --key-file option).
    TerminalPresenter(TextLookup text, std::optional<QString> keyFile = std::nullopt,
                      std::FILE* in = stdin, std::FILE* err = stderr);

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
    void hideBusy() override {}
    void bringToFront() override {}
    void openDialog(const QString&, const QVariantMap&) override {}
    void showMainWindow() override {}
    void showStartView() override {}
    void hideWindows() override {}

    /// Reads one line; without echo when `in` is a terminal. Empty at end of input.
    static std::optional<QString> readLine(std::FILE* in, std::FILE* err, const QString& prompt,
                                           bool secret);

private:
    QString resolve(const UiText& text) const;
    bool interactive() const;

    TextLookup m_text;
    std::optional<QString> m_keyFile;
    std::FILE* m_in;
    std::FILE* m_err;
};

} // namespace keskor
