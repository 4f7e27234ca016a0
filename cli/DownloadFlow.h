#pragma once

#include <QString>

namespace tessaly::cli {

class Session;

// How a download flow ended: at its finish sheet (with the sheet's message
// and the error log it shows), or idle after a failure (with the log).
struct FlowOutcome {
    bool finished = false;
    QString message;
    QString errorLog;
};

// What the confirmation sheet of the information download is answered with.
struct InformationOptions {
    bool perms = false;
    bool fullPerms = false; // every picture's permissions, not only changed ones
    bool exif = false;
};

// The picture-information download as the user runs it: the download
// button, the confirmation sheet answered OK with the options, then the
// finish sheet read and closed.
FlowOutcome runInformationDownload(Session& session, const InformationOptions& options);
// The picture-file download: its button, its sheet answered OK, its finish.
FlowOutcome runFileDownload(Session& session);

// Prints an outcome: the finish message on standard output, the error log's
// lines on standard error. Answers whether the flow finished.
bool reportOutcome(Session& session, const FlowOutcome& outcome, const QString& flowName);

} // namespace tessaly::cli
