#include "VerifyController.h"

#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "accounts/StatusFigures.h"
#include "controls/AreaControls.h"
#include "sync/SyncController.h"

#include <QTimer>

namespace tessaly {

namespace {
// Files looked at between two turns of the event loop: a window stays alive.
constexpr int kSlice = 2000;
} // namespace

VerifyControls::VerifyControls(TSControls& c) {
    verifySheet = makeControl<Window>(c, "verifySheet");
    verifySheet->setTitle("Verify Archive");
    verifySummaryTextField = makeControl<TextField>(c, "verifySummaryTextField");
    verifyProblemsTextField = makeControl<TextField>(c, "verifyProblemsTextField");
    repairButton = makeButton(c, "repairButton", "Repair");
    repairButton->setToolTip("Move the broken files aside into the picture folder's .broken folder (nothing is "
                             "deleted) and download what is missing again");
    closeVerifyButton = makeButton(c, "closeVerifyButton", "Close");
}

VerifyController::VerifyController(TSAppDelegate& app) : m_app(app), m_c(app.controls()) {
    app.controls().verifyItem->setAction([this] { verifyArchive(); });
    m_c.repairButton->setAction([this] { repairArchive(); });
    m_c.closeVerifyButton->setAction([this] { closeVerify(); });
}

VerifyController::~VerifyController() = default;

void VerifyController::verifyArchive() {
    if (isVerifying() || !m_app.database().isOpen())
        return;
    m_c.verifySheet->endSheet();
    m_pixPath = m_app.state().pixPath;
    m_verifier = std::make_unique<verify::ArchiveVerifier>(m_app.database(), m_pixPath, false);
    const SqlResult read = m_verifier->start();
    if (!read.ok()) {
        m_verifier.reset();
        m_app.platform().criticalAlert({}, QString("SQL error: %1").arg(read.message));
        return;
    }
    m_walking = true;
    m_app.revalidateMenuItems();
    m_app.doProgressPanel("Verifying the Archive...");
    m_app.controls().progressStopButton->setHidden(false);
    nextSlice(++m_run);
}

void VerifyController::nextSlice(quint64 run) {
    if (run != m_run || !m_walking)
        return;
    const bool more = m_verifier->step(kSlice);
    m_app.controls().progressTextField->setStringValue(
        QString("%1 of %2 files").arg(status::groupedNumber(m_verifier->filesChecked()),
                                      status::groupedNumber(m_verifier->filesTotal())));
    if (more) {
        QTimer::singleShot(0, this, [this, run] { nextSlice(run); });
        return;
    }
    endWalk();
    showFindings();
}

void VerifyController::endWalk() {
    m_walking = false;
    m_app.controls().progressStopButton->setHidden(true);
    m_app.controls().progressPanel->close();
    m_app.revalidateMenuItems();
}

void VerifyController::stopWalk() {
    if (!m_walking)
        return;
    ++m_run;
    endWalk();
    showFindings();
    m_c.verifySummaryTextField->setStringValue(
        QString("Stopped after %1 of %2 files. ")
            .arg(status::groupedNumber(m_verifier->filesChecked()), status::groupedNumber(m_verifier->filesTotal())) +
        m_c.verifySummaryTextField->stringValue());
}

void VerifyController::showFindings() {
    QStringList lines;
    int problems = 0, strays = 0;
    for (const verify::Finding& finding : m_verifier->findings()) {
        lines << verify::findingText(finding);
        (finding.isRecordProblem() ? problems : strays) += 1;
    }
    const QString files = status::groupedNumber(m_verifier->filesTotal());
    QString summary = problems == 0 ? QString("All %1 files the archive names are sound.").arg(files)
                      : problems == 1 ? QString("1 problem among the %1 files the archive names.").arg(files)
                                      : QString("%1 problems among the %2 files the archive names.")
                                            .arg(status::groupedNumber(problems), files);
    if (strays > 0)
        summary += strays == 1 ? QStringLiteral(" 1 file in the picture folder belongs to no record; it is left as it is.")
                               : QString(" %1 files in the picture folder belong to no record; they are left as they are.")
                                     .arg(status::groupedNumber(strays));
    m_c.verifySummaryTextField->setStringValue(summary);
    m_c.verifyProblemsTextField->setStringValue(lines.join(QLatin1Char('\n')));
    m_c.repairButton->setEnabled(problems > 0);
    m_c.verifySheet->beginSheet(m_app.controls().window);
}

void VerifyController::repairArchive() {
    if (!m_verifier || m_walking)
        return;
    QStringList failures;
    int moved = 0;
    for (const verify::Finding& finding : m_verifier->findings()) {
        if (!finding.isBrokenFile())
            continue;
        QString target, error;
        if (verify::moveAside(m_pixPath, finding.file, &target, &error))
            ++moved;
        else
            failures << error;
    }
    m_c.verifySheet->endSheet();
    m_verifier.reset();
    if (!failures.isEmpty()) {
        m_app.platform().criticalAlert(
            "Repair Archive", QString("Some broken files could not be moved aside, so they are not downloaded "
                                      "again:\n\n%1")
                                  .arg(failures.join(QLatin1Char('\n'))));
    }
    if (m_app.state().connectionState != 1) {
        m_app.platform().alert(
            "Repair Archive",
            QString("%1 moved aside into the picture folder's .broken folder. Connect to Flickr, then download "
                    "the picture files: the missing ones are fetched again.")
                .arg(moved == 1 ? QStringLiteral("1 broken file was") : QString("%1 broken files were").arg(moved)));
        return;
    }
    // The file download passes over every file that is there: only what is
    // missing now is fetched.
    m_app.sync().getPhotoFiles();
}

void VerifyController::closeVerify() {
    m_c.verifySheet->endSheet();
}

void VerifyController::currentArchiveChanged() {
    ++m_run;
    if (m_walking)
        endWalk();
    m_verifier.reset();
    if (m_c.verifySheet->isVisible())
        m_c.verifySheet->endSheet();
    m_app.revalidateMenuItems();
}

} // namespace tessaly
