#pragma once

// Readable gtest output for Qt values.
#include <QByteArray>
#include <QDebug>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& value, std::ostream* out) { *out << '"' << value.toStdString() << '"'; }
inline void PrintTo(const QByteArray& value, std::ostream* out) { *out << '"' << value.toStdString() << '"'; }
inline void PrintTo(const QStringList& value, std::ostream* out) {
    *out << '[' << value.join(QStringLiteral("\", \"")).prepend('"').append('"').toStdString() << ']';
}
inline void PrintTo(const QVariant& value, std::ostream* out) {
    QString text;
    QDebug(&text) << value;
    *out << text.toStdString();
}
QT_END_NAMESPACE
