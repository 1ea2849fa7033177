// ftp_update.cpp - Help > Update: uploads the local file "1.txt" to the configured FTP server.
#include "ui/ftp_update.h"

#include <QDir>
#include <QSettings>
#include <QThread>

#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "platform/unique_file.h"

namespace zor {

namespace {

constexpr char kUpdateFileName[] = "1.txt";
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kTransferTimeoutSeconds = 120;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

}  // namespace

QString configuredUpdateServer() {
    const QString setting = QSettings().value(QStringLiteral("update/server")).toString().trimmed();
    if (!setting.isEmpty()) return setting;
    return qEnvironmentVariable("ZOR_UPDATE_SERVER").trimmed();
}

QString updateUploadUrl(const QString& server) {
    QString url = server.contains(QStringLiteral("://")) ? server : QStringLiteral("ftp://") + server;
    const int pathStart = url.indexOf(QLatin1Char('/'), url.indexOf(QStringLiteral("://")) + 3);
    if (pathStart < 0) url += QLatin1Char('/');
    else if (!url.endsWith(QLatin1Char('/'))) url += QLatin1Char('/');
    return url + QLatin1String(kUpdateFileName);
}

FtpUpdateResult uploadUpdateFile(const QString& server, const QString& localFile) {
    if (server.isEmpty()) return FtpUpdateResult::NotConfigured;
    UniqueFile file(std::fopen(QFile::encodeName(localFile).constData(), "rb"));
    if (!file) return FtpUpdateResult::NoLocalFile;
    std::fseek(file.get(), 0, SEEK_END);
    const long length = std::ftell(file.get());
    std::rewind(file.get());

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl || length < 0) return FtpUpdateResult::Failed;
    const QByteArray url = updateUploadUrl(server).toUtf8();
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READDATA, file.get());
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(length));
    // Active mode: the server connects back to an address of ours.
    curl_easy_setopt(handle, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // A new connection each time, closed when the transfer ends.
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    return curl_easy_perform(handle) == CURLE_OK ? FtpUpdateResult::Uploaded : FtpUpdateResult::Failed;
}

void startUpdateUpload() {
    const QString server = configuredUpdateServer();
    if (server.isEmpty()) return;
    const QString localFile = QDir::current().absoluteFilePath(QLatin1String(kUpdateFileName));
    QThread* worker = QThread::create([server, localFile] { uploadUpdateFile(server, localFile); });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

}  // namespace zor
