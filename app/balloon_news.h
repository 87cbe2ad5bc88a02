// What the balloon over the notification icon tells, gathered since it was last clicked, timed
// out or the window was shown: the sites whose page changed and the sites that have started to
// fail, each told by name when it is the only one of its kind, else counted.
#pragma once
#include <stddef.h>

#include "base/code_map.h"
#include "registry/site_registry.h"

class BalloonNews {
public:
    void AddChange(long code, const char* name);
    void AddFailure(long code, const char* name, const char* reason);
    void Clear();
    // The text, one line for the changes and one for the failures (either may be missing).
    void MakeText(char* dst, size_t size) const;

private:
    CodeSet m_changed;
    char m_changedName[kSiteNameSize] = {};  // the first changed site
    CodeSet m_failing;
    char m_failingName[kSiteNameSize] = {};  // the first failing site and why
    char m_failingReason[256] = {};
};
