// Sitewake's version: the one definition read by the resource script (the version resource and
// the about box) and by scripts/package.sh (the release's file name).
#pragma once

#define SITEWAKE_VERSION_MAJOR 1
#define SITEWAKE_VERSION_MINOR 0
#define SITEWAKE_VERSION_PATCH 1

#define SITEWAKE_TEXT_OF_(x) #x
#define SITEWAKE_TEXT_OF(x) SITEWAKE_TEXT_OF_(x)
// "1.0": the release line, named by the about box's caption
#define SITEWAKE_RELEASE_TEXT \
    SITEWAKE_TEXT_OF(SITEWAKE_VERSION_MAJOR) "." SITEWAKE_TEXT_OF(SITEWAKE_VERSION_MINOR)
// "1.0.1": the full version, in the about box and the version resource
#define SITEWAKE_VERSION_TEXT SITEWAKE_RELEASE_TEXT "." SITEWAKE_TEXT_OF(SITEWAKE_VERSION_PATCH)
