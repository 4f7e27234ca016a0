#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;
class QTimer;

namespace tessaly {

class URLDownload;

// Told how one download goes; every callback arrives on the main loop.
class URLDownloadDelegate {
public:
    virtual ~URLDownloadDelegate() = default;
    virtual void downloadDidBegin(URLDownload* download) {}
    virtual void downloadDidFinish(URLDownload* download) {}
    // description says what went wrong; url is the address that failed.
    virtual void downloadDidFailWithError(URLDownload* download, const QString& description,
                                          const QString& url) {}
};

// Judges a complete answer before it becomes the file: its first bytes (up
// to 16), its size and its Content-Type. Answers "" to keep it, else why not.
using URLDownloadCheck =
    std::function<QString(const QByteArray& head, qint64 size, const QString& contentType)>;

// One address fetched to a file. The bytes go to a temporary file beside the
// destination, which replaces the destination only when the answer was a
// success, complete and passed the check: a failure never leaves a file
// under the final name. After its last callback the download deletes itself.
class URLDownload : public QObject {
    Q_OBJECT
public:
    // Why a download failed, for a delegate deciding what to do next.
    enum class Failure {
        Transient, // may well work when tried again
        TooLarge,  // longer than the service's limit: trying again won't help
        DiskFull,  // the destination's disk is full: nothing further can be kept
    };

    URLDownload(QNetworkAccessManager& network, const QUrl& url, QString destination,
                double timeoutSeconds, URLDownloadDelegate* delegate, const QByteArray& userAgent = {},
                qint64 maximumSize = -1, URLDownloadCheck check = {});
    ~URLDownload() override;

    QUrl url() const { return m_url; }
    QString destination() const { return m_destination; }
    // The HTTP status of the answer (0 before one, or without one) and its
    // Retry-After header, for a delegate deciding whether to try again.
    int httpStatus() const { return m_status; }
    QByteArray retryAfter() const { return m_retryAfter; }
    Failure failure() const { return m_failure; }
    // Stops without telling the delegate, and goes.
    void cancel();

private:
    void start(QNetworkAccessManager& network, const QByteArray& userAgent);
    void readyRead();
    void finished();
    void fail(const QString& description, Failure failure = Failure::Transient);
    bool write(const QByteArray& bytes);
    QString transportFailure() const;
    void end();

    QUrl m_url;
    QString m_destination;
    URLDownloadDelegate* m_delegate;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QTemporaryFile> m_file;
    QTimer* m_stallTimer;
    qint64 m_written = 0;
    qint64 m_maximumSize;
    URLDownloadCheck m_check;
    QByteArray m_head;
    Failure m_failure = Failure::Transient;
    int m_status = 0;
    QByteArray m_retryAfter;
    bool m_begun = false;
    bool m_ended = false;
};

// The downloads of the application; the Qt and scripted platforms share it.
class URLDownloadService {
public:
    URLDownloadService();
    ~URLDownloadService();
    // A download of url into destination (replaced when complete), failing
    // after timeoutSeconds without progress; nullptr when it cannot be made
    // (only http and https addresses are fetched).
    URLDownload* startDownload(const QUrl& url, const QString& destination, double timeoutSeconds,
                               URLDownloadDelegate* delegate, URLDownloadCheck check = {});
    // The User-Agent every download sends.
    void setUserAgent(const QByteArray& userAgent) { m_userAgent = userAgent; }
    // Makes every later start fail, as a service that cannot create downloads.
    void setRefusesDownloads(bool refuses) { m_refuses = refuses; }
    // The longest answer a download keeps (4 GiB unless set).
    qint64 maximumFileSize() const { return m_maximumSize; }
    void setMaximumFileSize(qint64 bytes) { m_maximumSize = bytes; }

private:
    std::unique_ptr<QNetworkAccessManager> m_network;
    bool m_refuses = false;
    qint64 m_maximumSize = qint64(4) << 30;
    QByteArray m_userAgent;
};

} // namespace tessaly
