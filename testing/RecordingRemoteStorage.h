#pragma once
// A remote store for tests: records every call and answers from a script. Uploads can be
// answered at once or held until the test completes them, as a real provider answers later.

#include "core/IRemoteStorage.h"

#include <QStringList>
#include <deque>

namespace keskor::testing {

class RecordingRemoteStorage : public IRemoteStorage {
public:
    void login(Success success, Failure failure) override;
    void handleRedirect(const QUrl& url) override;
    bool isLoggedIn() const override { return loggedIn; }
    void logout() override;
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

    /// Completes the oldest held upload; false when none is held.
    bool completeUpload(bool ok, const QString& message = QString());

    bool loggedIn = true;
    /// Held uploads wait for completeUpload(); otherwise they finish at once with `failWith`.
    bool holdUploads = false;
    /// Empty: operations succeed; otherwise they fail with this message.
    QString failWith;
    FileList files;

    QStringList calls;
    int uploads = 0;

private:
    std::deque<std::pair<Success, Failure>> m_held;
};

} // namespace keskor::testing
