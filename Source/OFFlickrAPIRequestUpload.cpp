// Picture upload of OFFlickrAPIRequest: a multipart body written to a private
// temporary file, then posted from that file with its size known.
#include "OFFlickrAPIRequest.h"

#include "OFUtilities.h"

#include <QDir>
#include <QFile>

namespace {

constexpr qint64 kCopyChunkSize = 65536;
constexpr int kSequentialReadWaitMs = 30000;

bool writeAll(QFile& file, const QByteArray& bytes) {
    return file.write(bytes) == bytes.size();
}

} // namespace

bool OFFlickrAPIRequest::uploadImageStreamSuggestedFilenameMIMETypeArguments(
    QIODevice* imageStream, const QString& suggestedFilename, const QString& MIMEType,
    const QVariantMap& arguments) {
    if (isRunning() || !imageStream || !imageStream->isReadable())
        return false;

    const QUrl uploadURL(m_context->uploadEndpoint());
    QList<QPair<QString, QString>> fields;
    if (m_context->usesOAuth()) {
        const QVariantMap signedArguments = m_context->signedOAuthHTTPQueryArgumentsBaseURLMethod(
            arguments, uploadURL, QStringLiteral("POST"));
        for (auto it = signedArguments.constBegin(); it != signedArguments.constEnd(); ++it)
            fields.append({it.key(), OFTextForm(it.value())});
    } else {
        if (m_context->authToken().isEmpty())
            return false;
        fields = m_context->signedArgumentComponentsFromArgumentsUseURIEscape(arguments, false);
    }

    const QString boundary = OFNewUUIDString();
    QString head;
    for (const auto& [name, value] : fields)
        head += QStringLiteral("--%1\r\nContent-Disposition: form-data; name=\"%2\"\r\n\r\n%3\r\n")
                    .arg(boundary, name, value);
    const QString filename = suggestedFilename.isEmpty() ? OFNewUUIDString() : suggestedFilename;
    head += QStringLiteral(
                "--%1\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"%2\"\r\n")
                .arg(boundary, filename);
    head += QStringLiteral("Content-Type: %1\r\n\r\n").arg(MIMEType);
    const QString tail = QStringLiteral("\r\n--%1--").arg(boundary);

    cleanUpTempFile();
    m_uploadTempFilename = QDir::tempPath() + QLatin1Char('/') +
                           QStringLiteral("org.quorvel.Aperkit.upload.%1").arg(OFNewUUIDString());
    if (!writeMultipartFile(m_uploadTempFilename, imageStream, head.toUtf8(), tail.toUtf8())) {
        cleanUpTempFile();
        return false;
    }

    m_uploadFile = new QFile(m_uploadTempFilename, this);
    if (!m_uploadFile->open(QIODevice::ReadOnly)) {
        qWarning("Could not read the upload's temporary file %s",
                 qUtf8Printable(m_uploadTempFilename));
        cleanUpTempFile();
        return false;
    }
    m_HTTPRequest->setSessionInfo({});
    m_HTTPRequest->setContentType(QStringLiteral("multipart/form-data; boundary=%1").arg(boundary));
    if (!m_HTTPRequest->performMethodOnURLWithInputStreamKnownContentSize(
            QStringLiteral("POST"), uploadURL, m_uploadFile,
            static_cast<quint64>(m_uploadFile->size()))) {
        cleanUpTempFile();
        return false;
    }
    return true;
}

bool OFFlickrAPIRequest::writeMultipartFile(const QString& path, QIODevice* imageStream,
                                            const QByteArray& head, const QByteArray& tail) {
    // A full disk or an unreadable picture fails the upload; nothing is sent half-made.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qWarning("Could not create the upload's temporary file %s", qUtf8Printable(path));
        return false;
    }
    if (!writeAll(file, head))
        return false;
    QByteArray buffer(kCopyChunkSize, '\0');
    for (;;) {
        const qint64 count = imageStream->read(buffer.data(), kCopyChunkSize);
        if (count < 0) {
            qWarning("Could not read the picture to upload");
            return false;
        }
        if (count == 0) {
            if (imageStream->isSequential() && !imageStream->atEnd() &&
                imageStream->waitForReadyRead(kSequentialReadWaitMs))
                continue;
            break;
        }
        if (!writeAll(file, QByteArray::fromRawData(buffer.constData(), count)))
            return false;
    }
    return writeAll(file, tail) && file.flush();
}

void OFFlickrAPIRequest::cleanUpTempFile() {
    if (m_uploadFile) {
        m_uploadFile->close();
        m_uploadFile->deleteLater();
        m_uploadFile = nullptr;
    }
    if (m_uploadTempFilename.isEmpty())
        return;
    if (QFile::exists(m_uploadTempFilename) && !QFile::remove(m_uploadTempFilename))
        qWarning("Should be able to remove temp file %s", qUtf8Printable(m_uploadTempFilename));
    m_uploadTempFilename.clear();
}
