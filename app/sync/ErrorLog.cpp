#include "ErrorLog.h"

#include <QFile>

namespace tessaly {

bool ErrorLog::open(const QString& path) {
    close();
    m_path = path;
    m_file = std::fopen(QFile::encodeName(path).constData(), "w");
    return m_file != nullptr;
}

void ErrorLog::close() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void ErrorLog::write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::FILE* out = m_file ? m_file : stderr;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fflush(out);
}

QString ErrorLog::readAll() const {
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace tessaly
