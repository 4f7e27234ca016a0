#include "archive/ArchiveDatabase.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { SUCCEED(); }
