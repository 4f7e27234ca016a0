#pragma once

#include <QString>

namespace tessaly::test {

// Points HOME and the XDG folders at a fresh temporary folder for the whole
// test process, so no test can touch the real home folder or preferences.
void isolateHome();

// The throwaway home folder made by isolateHome().
QString homeFolder();

} // namespace tessaly::test
