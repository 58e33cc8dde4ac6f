#include "storage/RedirectedDownload.h"

#include "storage/WorkingCopy.h"

namespace keskor {

void RedirectedDownload::fetch(const SendAuthorised& send, HttpClient& http,
                               HttpClient::Request content, const QString& target,
                               const QString& failedText, IRemoteStorage::Success success,
                               IRemoteStorage::Failure failure) {
    const auto write = [target, success, failure, failedText](const HttpClient::Response& bytes) {
        if (bytes.status != 200 || bytes.body.isEmpty() ||
            !WorkingCopy::write(target, bytes.body)) {
            failure(failedText);
            return;
        }
        success();
    };
    const auto failed = [failure, failedText](const QString&, int) { failure(failedText); };
    content.followRedirects = false;
    send(
        std::move(content),
        [&http, write, failure, failed, failedText](const HttpClient::Response& first) {
            if (first.status == 200) {
                write(first);
                return;
            }
            if (first.status < 300 || first.status >= 400) {
                failure(failedText);
                return;
            }
            HttpClient::Request download;
            download.url = first.finalUrl;
            download.headers = {{"Content-Type", "application/zip"}};
            http.send(download, write, failed);
        },
        failed);
}

} // namespace keskor
