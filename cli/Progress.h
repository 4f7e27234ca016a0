#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace tessaly {
class TextField;
}

namespace tessaly::cli {

class Console;

// What a progress text says: "downloading EXIF info... 300 of 1,234" is the
// stage "downloading EXIF info", 300 done, 1234 in all (-1 when it holds no
// counts).
struct ProgressText {
    QString stage;
    qint64 done = -1;
    qint64 total = -1;
};
ProgressText parseProgressText(const QString& text);

// A bar with counts, no wider than a narrow terminal:
// "downloading EXIF info [#######.................] 300/1234".
QString progressBar(const ProgressText& progress);

// Shows on standard error what the download flows write into the main
// window's progress label and, beside it, its detail (the time left, or why
// and how long a call waits): one line redrawn in place on a terminal, and
// otherwise a plain line for each new stage, each wait, and now and then in
// between.
class ProgressReporter : public QObject {
    Q_OBJECT
public:
    ProgressReporter(TextField& label, TextField& detail, Console& console);
    ~ProgressReporter() override;

private:
    void labelChanged();
    void detailChanged();
    void show(bool now);

    TextField& m_label;
    TextField& m_detail;
    Console& m_console;
    QString m_text;
    QString m_detailText;
    QString m_stage;
    QElapsedTimer m_sinceShown;
};

} // namespace tessaly::cli
