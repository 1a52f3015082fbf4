// Tightens the archiver libraries' output limits (outputlimits.h) for one
// test, so that they are reached without writing gigabytes.
#pragma once

#include <cstdlib>

namespace testlimits {

class LimitsScope {
public:
    // `value` as TIDEBELL_ARCHIVER_LIMITS takes it, e.g. "ratio-floor=65536".
    explicit LimitsScope(const char* value) { ::setenv("TIDEBELL_ARCHIVER_LIMITS", value, 1); }
    ~LimitsScope() { ::unsetenv("TIDEBELL_ARCHIVER_LIMITS"); }
    LimitsScope(const LimitsScope&) = delete;
    LimitsScope& operator=(const LimitsScope&) = delete;
};

}  // namespace testlimits
