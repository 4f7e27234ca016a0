// Accounts: the account pop-ups and the status figures of the main window.
#include "TSAppDelegate.h"

namespace tessaly {

void TSAppDelegate::doListDbsButtons() {}

void TSAppDelegate::setFilenum() {}

void TSAppDelegate::setDBnum() {}

void TSAppDelegate::setAcctnum() {}

void TSAppDelegate::checkConnection() {}

} // namespace tessaly
