#include "Progress.h"

#include "Console.h"
#include "controls/Control.h"
#include "sync/Pacing.h"

#include <QRegularExpression>

namespace tessaly::cli {

namespace {
constexpr int kBarWidth = 24;
// A terminal line is redrawn at most this often, plain lines written at most
// this often within a stage.
constexpr qint64 kRedrawMs = 100;
constexpr qint64 kPlainLineMs = 5000;

qint64 digitsOf(QString text) {
    text.remove(QRegularExpression(QStringLiteral("[^0-9]")));
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value : -1;
}
} // namespace

ProgressText parseProgressText(const QString& text) {
    static const QRegularExpression counted(
        QStringLiteral("^(.*?)\\.\\.\\.\\s*(\\d+) of (\\S+)\\s*$"));
    const QRegularExpressionMatch match = counted.match(text);
    if (!match.hasMatch()) {
        QString stage = text.trimmed();
        while (stage.endsWith(QLatin1Char('.')))
            stage.chop(1);
        return {stage, -1, -1};
    }
    return {match.captured(1).trimmed(), digitsOf(match.captured(2)), digitsOf(match.captured(3))};
}

QString progressBar(const ProgressText& progress) {
    if (progress.done < 0 || progress.total < 0)
        return progress.stage + "...";
    // The count of the last page can run past the total.
    const qint64 done = qMin(progress.done, progress.total);
    const int filled = progress.total > 0 ? int(done * kBarWidth / progress.total) : kBarWidth;
    return QString("%1 [%2%3] %4/%5")
        .arg(progress.stage, QString(filled, QLatin1Char('#')),
             QString(kBarWidth - filled, QLatin1Char('.')))
        .arg(done)
        .arg(progress.total);
}

ProgressReporter::ProgressReporter(TextField& label, TextField& detail, Console& console)
    : m_label(label), m_detail(detail), m_console(console) {
    connect(&label, &Control::changed, this, &ProgressReporter::labelChanged);
    connect(&detail, &Control::changed, this, &ProgressReporter::detailChanged);
}

ProgressReporter::~ProgressReporter() {
    m_console.endProgress();
}

void ProgressReporter::labelChanged() {
    const QString text = m_label.stringValue();
    if (text == m_text)
        return;
    m_text = text;
    if (text.isEmpty()) {
        m_console.endProgress();
        m_stage.clear();
        return;
    }
    const ProgressText progress = parseProgressText(text);
    const bool newStage = progress.stage.compare(m_stage, Qt::CaseInsensitive) != 0;
    const bool complete = progress.total >= 0 && progress.done >= progress.total;
    m_stage = progress.stage;
    show(newStage || complete);
}

void ProgressReporter::detailChanged() {
    const QString detail = m_detail.stringValue();
    if (detail == m_detailText)
        return;
    m_detailText = detail;
    if (!sync::isRetryText(detail)) {
        // The time left rides along with the next progress line.
        if (m_console.errorIsTerminal() && !m_text.isEmpty())
            show(false);
        return;
    }
    // A wait is told at once, on a line of its own where lines stay.
    if (m_console.errorIsTerminal() && !m_text.isEmpty())
        show(true);
    else
        m_console.note(detail);
}

void ProgressReporter::show(bool now) {
    const qint64 interval = m_console.errorIsTerminal() ? kRedrawMs : kPlainLineMs;
    if (!now && m_sinceShown.isValid() && m_sinceShown.elapsed() < interval)
        return;
    m_sinceShown.start();
    const QString detail = m_detailText.isEmpty() ? QString() : " (" + m_detailText + ")";
    if (m_console.errorIsTerminal())
        m_console.progress(progressBar(parseProgressText(m_text)) + detail);
    else
        m_console.note(m_text + detail);
}

} // namespace tessaly::cli
