// Golden-image checks for rendering tests: a bitmap is compared with tests/golden/<name>.png
// within a per-channel tolerance; on a mismatch the actual picture and a difference picture
// are written beside the build (build/golden-failures) for a look.
#pragma once

#include <gtest/gtest.h>

#include "host/Bitmap.h"

namespace kw::testsupport {

// Matches when at most maxDifferent pixels differ by more than tolerance in a channel.
// With KW_UPDATE_GOLDENS=1 in the environment a missing or different golden is (re)written.
::testing::AssertionResult MatchesGolden(TBitmap& actual, const String& name, int tolerance = 8,
                                         int maxDifferent = 0);

// Where goldens live and where failures go (absolute, for messages).
String GoldenPath(const String& name);
String FailurePath(const String& name, const String& suffix);

}  // namespace kw::testsupport
