#pragma once

#include <QString>

// Where files come from. Fixed at build time; for tests and the demo only, the
// environment may point them at a local site (TALLYAID_MAKER_SITE, TALLYAID_VENDOR_URL)
// and add a certificate authority to trust (TALLYAID_CA_FILE).
namespace Sites {
QString makerSite();           // "https://host", no trailing slash
QString downloadFolderUrl();   // makerSite() + "/twdownloads/"
QString vendorUrl();           // the remote-support tool's address
QString extraCaFile();         // empty when none
} // namespace Sites
