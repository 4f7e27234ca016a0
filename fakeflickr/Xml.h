#pragma once

#include <QByteArray>
#include <QString>

namespace fakeflickr {

// A tiny XML builder that appends straight into one buffer (pages of 500 pictures
// are built often, so it avoids per-node allocations).
class Xml {
public:
    Xml& open(const char* name) {
        closeStart();
        m_out += '<';
        m_out += name;
        m_startOpen = true;
        return *this;
    }
    Xml& attr(const char* name, const QString& value) { return attrRaw(name, escape(value, true)); }
    Xml& attr(const char* name, qint64 value) { return attrRaw(name, QByteArray::number(value)); }
    Xml& text(const QString& value) {
        closeStart();
        m_out += escape(value, false);
        return *this;
    }
    // Closes the element: "/>" when nothing was written inside it.
    Xml& close(const char* name) {
        if (m_startOpen) {
            m_out += " />\n";
            m_startOpen = false;
        } else {
            m_out += "</";
            m_out += name;
            m_out += ">\n";
        }
        return *this;
    }
    Xml& element(const char* name, const QString& value) {
        open(name);
        if (value.isEmpty())
            return close(name);
        text(value);
        m_out += "</";
        m_out += name;
        m_out += ">\n";
        return *this;
    }
    QByteArray& bytes() {
        closeStart();
        return m_out;
    }

    static QByteArray escape(const QString& value, bool inAttribute) {
        QByteArray out;
        const QByteArray utf8 = value.toUtf8();
        out.reserve(utf8.size());
        for (const char c : utf8) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += inAttribute ? "&quot;" : "\""; break;
            // Line breaks in attributes survive only as character references.
            case '\n': out += inAttribute ? "&#10;" : "\n"; break;
            case '\r': out += "&#13;"; break;
            case '\t': out += inAttribute ? "&#9;" : "\t"; break;
            default: out += c;
            }
        }
        return out;
    }

private:
    Xml& attrRaw(const char* name, const QByteArray& value) {
        m_out += ' ';
        m_out += name;
        m_out += "=\"";
        m_out += value;
        m_out += '"';
        return *this;
    }
    void closeStart() {
        if (m_startOpen) {
            m_out += '>';
            m_startOpen = false;
        }
    }

    QByteArray m_out;
    bool m_startOpen = false;
};

} // namespace fakeflickr
