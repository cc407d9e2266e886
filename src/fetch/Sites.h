#pragma once

#include "platform/Platform.h"

#include <QString>

// Where files come from. Fixed at build time. Only in a build configured with
// TALLYAID_TEST_OVERRIDES (tests and the demo) may the environment point them at a local
// site (TALLYAID_MAKER_SITE, TALLYAID_VENDOR_URL) and add a certificate authority to trust
// (TALLYAID_CA_FILE); every other build ignores those variables.
namespace Sites {
QString makerSite();           // "https://host", no trailing slash
QString downloadFolderUrl();   // makerSite() + "/twdownloads/"
QString vendorUrl();           // the remote-support tool's address
Platform::Publisher vendorPublisher(); // who must have signed it (Windows)
QString extraCaFile();         // empty when none
bool testOverridesBuiltIn();   // whether the variables above are read at all
} // namespace Sites
