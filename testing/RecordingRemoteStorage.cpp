#include "testing/RecordingRemoteStorage.h"

namespace keskor::testing {

namespace {
void answer(const QString& failWith, const IRemoteStorage::Success& success,
            const IRemoteStorage::Failure& failure) {
    if (failWith.isEmpty()) {
        success();
    } else {
        failure(failWith);
    }
}
} // namespace

void RecordingRemoteStorage::login(Success success, Failure failure) {
    calls << QStringLiteral("login");
    if (failWith.isEmpty()) {
        loggedIn = true;
    }
    answer(failWith, success, failure);
}

void RecordingRemoteStorage::handleRedirect(const QUrl& url) {
    calls << QStringLiteral("handleRedirect ") + url.toString();
}

void RecordingRemoteStorage::logout() {
    calls << QStringLiteral("logout");
    loggedIn = false;
}

void RecordingRemoteStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    calls << QStringLiteral("listFiles");
    if (failWith.isEmpty()) {
        success(files);
    } else {
        failure(failWith);
    }
}

void RecordingRemoteStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                                          Failure failure) {
    calls << QStringLiteral("downloadFile ") + (file ? file->path : QString());
    answer(failWith, success, failure);
}

void RecordingRemoteStorage::saveCurrentFile(Success success, Failure failure) {
    calls << QStringLiteral("saveCurrentFile");
    ++uploads;
    if (holdUploads) {
        m_held.emplace_back(std::move(success), std::move(failure));
        return;
    }
    answer(failWith, success, failure);
}

void RecordingRemoteStorage::deleteFiles(FileList list, Success success, Failure failure) {
    calls << QStringLiteral("deleteFiles %1").arg(list.size());
    answer(failWith, success, failure);
}

bool RecordingRemoteStorage::completeUpload(bool ok, const QString& message) {
    if (m_held.empty()) {
        return false;
    }
    auto [success, failure] = std::move(m_held.front());
    m_held.pop_front();
    if (ok) {
        success();
    } else {
        failure(message);
    }
    return true;
}

} // namespace keskor::testing
