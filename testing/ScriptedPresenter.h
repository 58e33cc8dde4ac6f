#pragma once
// A presenter for tests: records every call and answers the asking ones from a script.
// A question the script has no answer for is a test failure: it is recorded in errors(),
// reported through the failure handler (tests pass one that calls ADD_FAILURE), and answered
// the safe way: the last button (the cancel of our alerts), or no value.

#include "platform/Presenter.h"

#include <deque>
#include <functional>

namespace keskor::testing {

class ScriptedPresenter : public Presenter {
public:
    enum class Kind : int {
        Alert = 0,
        AskCredentials = 1,
        CredentialsRejected = 2,
        ChooseFileToOpen = 3,
        ChooseFileToSave = 4,
        ShowBusy = 5,
        HideBusy = 6,
        BringToFront = 7,
        OpenDialog = 8,
        ShowMainWindow = 9,
        ShowStartView = 10,
        HideWindows = 11,
        AlertWithTextField = 12,
    };

    /// One recorded call with its arguments; text() is the form used in assertions, e.g.
    /// "alert warning dialog_warning/error_input_db_name [Save|Don't save]".
    struct Call {
        Kind kind = Kind::Alert;
        AlertStyle style = AlertStyle::informational;
        UiText message;
        UiText informative;
        QList<UiText> buttons;
        CredentialsRequest request;
        UiText title;
        QString proposedName;
        QStringList extensions;
        QString dialogId;
        QVariantMap values;

        QString text() const;
    };

    using FailureHandler = std::function<void(const QString& message)>;

    explicit ScriptedPresenter(FailureHandler onFailure = {});

    /// Script: answers are taken in order, one queue per kind of question.
    void answerAlert(int buttonIndex) { m_alertAnswers.push_back(buttonIndex); }
    void answerCredentials(const CredentialsAnswer& answer) {
        m_credentialAnswers.push_back(answer);
    }
    void cancelCredentials() { m_credentialAnswers.push_back(std::nullopt); }
    /// For alerts with a text field: the first button with `text` typed, or a cancel.
    void answerTextField(const QString& text) { m_textAnswers.push_back(text); }
    void cancelTextField() { m_textAnswers.push_back(std::nullopt); }
    /// For both choosers.
    void answerFile(const QString& path) { m_fileAnswers.push_back(path); }
    void cancelFile() { m_fileAnswers.push_back(std::nullopt); }

    const QList<Call>& calls() const noexcept { return m_calls; }
    /// text() of every call, in order.
    QStringList transcript() const;
    /// Unexpected questions and bad script entries.
    const QStringList& errors() const noexcept { return m_errors; }
    /// True when every scripted answer was used.
    bool isScriptUsedUp() const noexcept;
    void clearCalls() { m_calls.clear(); }

    int alert(AlertStyle style, const UiText& message, const UiText& informative,
              const QList<UiText>& buttons) override;
    /// Takes scripted answers until the request's validate() accepts one; when answers run out
    /// after a rejection the prompt counts as cancelled (the user gave up), not as a failure.
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

private:
    void record(Call call) { m_calls.append(std::move(call)); }
    void fail(const QString& message);
    std::optional<QString> nextFile(const Call& call);

    FailureHandler m_onFailure;
    std::deque<int> m_alertAnswers;
    std::deque<std::optional<CredentialsAnswer>> m_credentialAnswers;
    std::deque<std::optional<QString>> m_fileAnswers;
    std::deque<std::optional<QString>> m_textAnswers;
    QList<Call> m_calls;
    QStringList m_errors;
};

} // namespace keskor::testing
