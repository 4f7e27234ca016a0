#include "URLDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>

namespace tessaly {

URLDownload::URLDownload(QNetworkAccessManager& network, const QUrl& url, QString destination,
                         double timeoutSeconds, URLDownloadDelegate* delegate,
                         const QByteArray& userAgent)
    : m_url(url), m_destination(std::move(destination)), m_delegate(delegate),
      m_stallTimer(new QTimer(this)) {
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
        const QPointer<URLDownload> self(this);
        if (m_delegate)
            m_delegate->downloadDidBegin(this);
        if (!self || m_ended)
            return;
    }
    const QByteArray bytes = m_reply->readAll();
    if (m_file->write(bytes) != bytes.size()) {
        fail(m_file->errorString());
        return;
    }
    m_written += bytes.size();
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
        fail(m_reply->errorString());
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
    if (!m_file->flush()) {
        fail(m_file->errorString());
        return;
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

void URLDownload::fail(const QString& description) {
    if (m_ended)
        return;
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
                                               double timeoutSeconds, URLDownloadDelegate* delegate) {
    if (m_refuses || !url.isValid() || url.isRelative() || destination.isEmpty())
        return nullptr;
    return new URLDownload(*m_network, url, destination, timeoutSeconds, delegate, m_userAgent);
}

} // namespace tessaly
