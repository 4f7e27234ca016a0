#include "URLDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace tessaly {

namespace {

// "0 bytes", "96 KiB", "3.7 GiB".
QString dataSize(qint64 bytes) {
    qint64 unit = 1;
    while (unit < (qint64(1) << 40) && bytes >= unit * 1024)
        unit *= 1024;
    return QLocale::c().formattedDataSize(bytes, bytes % unit == 0 ? 0 : 1, QLocale::DataSizeIecFormat);
}

} // namespace

URLDownload::URLDownload(QNetworkAccessManager& network, const QUrl& url, QString destination,
                         double timeoutSeconds, URLDownloadDelegate* delegate,
                         const QByteArray& userAgent, qint64 maximumSize, URLDownloadCheck check)
    : m_url(url), m_destination(std::move(destination)), m_delegate(delegate),
      m_stallTimer(new QTimer(this)), m_maximumSize(maximumSize), m_check(std::move(check)) {
    m_stallTimer->setSingleShot(true);
    m_stallTimer->setInterval(int(timeoutSeconds * 1000));
    connect(m_stallTimer, &QTimer::timeout, this, [this] { fail("The request timed out."); });
    start(network, userAgent);
}

URLDownload::~URLDownload() {
    m_delegate = nullptr;
    if (!m_ended)
        end();
}

void URLDownload::start(QNetworkAccessManager& network, const QByteArray& userAgent) {
    // Hidden, and named unlike any picture, so an interrupted download is
    // never taken for a picture file.
    m_file = std::make_unique<QTemporaryFile>(QFileInfo(m_destination).absolutePath() +
                                              "/.tessaly-download-XXXXXX");
    if (!m_file->open()) {
        const QString reason = m_file->errorString();
        QTimer::singleShot(0, this, [this, reason] { fail(reason); });
        return;
    }
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!userAgent.isEmpty())
        request.setRawHeader("User-Agent", userAgent);
    m_reply = network.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &URLDownload::readyRead);
    connect(m_reply, &QNetworkReply::finished, this, &URLDownload::finished);
    m_stallTimer->start();
}

void URLDownload::readyRead() {
    if (m_ended || !m_reply)
        return;
    m_stallTimer->start();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_status = status;
    m_retryAfter = m_reply->rawHeader("Retry-After");
    if (status >= 400) {
        m_reply->readAll();
        return; // reported when the answer ends
    }
    if (!m_begun) {
        m_begun = true;
        const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (m_maximumSize >= 0 && announced.isValid() && announced.toLongLong() > m_maximumSize) {
            fail(QStringLiteral("The picture server announced %1, more than the %2 a file may have.")
                     .arg(dataSize(announced.toLongLong()), dataSize(m_maximumSize)),
                 Failure::TooLarge);
            return;
        }
        const QPointer<URLDownload> self(this);
        if (m_delegate)
            m_delegate->downloadDidBegin(this);
        if (!self || m_ended)
            return;
    }
    const QByteArray bytes = m_reply->readAll();
    if (m_maximumSize >= 0 && m_written + bytes.size() > m_maximumSize) {
        fail(QStringLiteral("The picture server sent more than the %1 a file may have.").arg(dataSize(m_maximumSize)),
             Failure::TooLarge);
        return;
    }
    if (m_head.size() < 16)
        m_head += bytes.left(16 - m_head.size());
    if (!write(bytes))
        return;
    m_written += bytes.size();
}

// Straight to the file, so that a full disk is told apart from other failures.
bool URLDownload::write(const QByteArray& bytes) {
    const int fd = m_file->handle();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            const QString folder = QFileInfo(m_destination).absolutePath();
            if (error == ENOSPC || error == EDQUOT) {
                fail(QStringLiteral("The disk holding %1 is full (%2 free).")
                         .arg(QDir::toNativeSeparators(folder),
                              dataSize(QStorageInfo(folder).bytesAvailable())),
                     Failure::DiskFull);
            } else {
                fail(QStringLiteral("The file could not be written in %1: %2.")
                         .arg(QDir::toNativeSeparators(folder), QString::fromLocal8Bit(std::strerror(error))));
            }
            return false;
        }
        done += n;
    }
    return true;
}

QString URLDownload::transportFailure() const {
    switch (m_reply->error()) {
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::ProtocolUnknownError:
        return QStringLiteral("The picture server sent Tessaly on to %1, an address it does not follow.")
            .arg(m_url.resolved(QUrl::fromEncoded(m_reply->rawHeader("Location"))).toString());
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("The picture server sent Tessaly from one address to the next too often.");
    case QNetworkReply::RemoteHostClosedError: {
        const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid())
            return QStringLiteral("The download ended after %1 of %2 bytes.").arg(m_written).arg(announced.toLongLong());
        return QStringLiteral("The picture server closed the connection after %1 bytes.").arg(m_written);
    }
    default:
        return QStringLiteral("The picture could not be fetched: %1.").arg(m_reply->errorString());
    }
}

void URLDownload::finished() {
    if (m_ended || !m_reply)
        return;
    readyRead();
    if (m_ended)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_status = status;
    m_retryAfter = m_reply->rawHeader("Retry-After");
    if (m_reply->error() != QNetworkReply::NoError && status < 400) {
        fail(transportFailure());
        return;
    }
    if (status >= 400) {
        fail(QStringLiteral("The server answered HTTP %1 %2.")
                 .arg(status)
                 .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        return;
    }
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() != m_written) {
        fail(QStringLiteral("The download ended after %1 of %2 bytes.")
                 .arg(m_written)
                 .arg(announced.toLongLong()));
        return;
    }
    if (m_check) {
        const QString problem =
            m_check(m_head, m_written, QString::fromLatin1(m_reply->rawHeader("Content-Type")));
        if (!problem.isEmpty()) {
            fail(problem);
            return;
        }
    }
    // rename(2) replaces an existing file in one step.
    if (std::rename(QFile::encodeName(m_file->fileName()).constData(),
                    QFile::encodeName(m_destination).constData()) != 0) {
        fail(QStringLiteral("The file %1 could not be written.").arg(m_destination));
        return;
    }
    m_file->setAutoRemove(false);
    QFile::setPermissions(m_destination, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther);
    end();
    if (m_delegate)
        m_delegate->downloadDidFinish(this);
    deleteLater();
}

void URLDownload::fail(const QString& description, Failure failure) {
    if (m_ended)
        return;
    m_failure = failure;
    end();
    if (m_delegate)
        m_delegate->downloadDidFailWithError(this, description, m_url.toString());
    deleteLater();
}

void URLDownload::end() {
    m_ended = true;
    m_stallTimer->stop();
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_file.reset(); // removes the temporary file unless it became the destination
}

void URLDownload::cancel() {
    m_delegate = nullptr;
    if (!m_ended)
        end();
    deleteLater();
}

URLDownloadService::URLDownloadService() : m_network(std::make_unique<QNetworkAccessManager>()) {}

URLDownloadService::~URLDownloadService() = default;

URLDownload* URLDownloadService::startDownload(const QUrl& url, const QString& destination,
                                               double timeoutSeconds, URLDownloadDelegate* delegate,
                                               URLDownloadCheck check) {
    const QString scheme = url.scheme();
    if (m_refuses || !url.isValid() || url.host().isEmpty() || destination.isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return nullptr;
    return new URLDownload(*m_network, url, destination, timeoutSeconds, delegate, m_userAgent,
                           m_maximumSize, std::move(check));
}

} // namespace tessaly
