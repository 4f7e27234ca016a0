#pragma once

#include "ArchiveVerify.h"
#include "TSControls.h"

#include <QObject>

#include <memory>

namespace tessaly {

class TSAppDelegate;

// The control models of the sheet that lists what a verification found.
struct VerifyControls {
    explicit VerifyControls(TSControls& controls);

    Window* verifySheet;
    TextField* verifySummaryTextField;
    TextField* verifyProblemsTextField;
    // Moves the broken files aside and downloads what is missing again.
    Button* repairButton;
    Button* closeVerifyButton;
};

// Archive > Verify Archive...: the archive and its picture folder walked a
// slice at a time under the progress panel, then the findings in a sheet
// whose Repair button moves the broken files aside (nothing is deleted) and
// starts the file download, which fetches what is missing.
class VerifyController : public QObject {
    Q_OBJECT
public:
    explicit VerifyController(TSAppDelegate& app);
    ~VerifyController() override;

    VerifyControls& controls() { return m_c; }
    bool isVerifying() const { return m_verifier != nullptr && m_walking; }
    const verify::ArchiveVerifier* lastVerifier() const { return m_verifier.get(); }

    void verifyArchive();
    void repairArchive();
    void closeVerify();
    // The progress panel's Stop: the walk ends, and what it found so far shows.
    void stopWalk();
    // The archive let go of: a walk under way stops.
    void currentArchiveChanged();

private:
    void nextSlice(quint64 run);
    void endWalk();
    void showFindings();

    TSAppDelegate& m_app;
    VerifyControls m_c;
    std::unique_ptr<verify::ArchiveVerifier> m_verifier;
    QString m_pixPath;
    bool m_walking = false;
    quint64 m_run = 0;
};

} // namespace tessaly
