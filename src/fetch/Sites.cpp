#include "fetch/Sites.h"

#include <QtGlobal>

#ifndef TALLYAID_MAKER_HOST
#define TALLYAID_MAKER_HOST "downloads.tallywick.example"
#endif
#ifndef TALLYAID_VENDOR_URL
#define TALLYAID_VENDOR_URL "https://download.teamviewer.com/download/TeamViewerQS_x64.exe"
#endif

#ifndef TALLYAID_VENDOR_PUBLISHER
#define TALLYAID_VENDOR_PUBLISHER "TeamViewer Germany GmbH"
#define TALLYAID_VENDOR_ORGANISATION "TeamViewer Germany GmbH"
#define TALLYAID_VENDOR_LOCALITY "G\xc3\xb6ppingen"
#define TALLYAID_VENDOR_COUNTRY "DE"
#endif

namespace {
// Only a build made for tests and the demo lets the environment choose where updates come
// from and whom to trust; anything that can set a user's variables could point it elsewhere.
QString fromEnvironment(const char* name, const QString& fallback) {
#ifdef TALLYAID_TEST_OVERRIDES
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
#else
    Q_UNUSED(name);
    return fallback;
#endif
}
} // namespace

QString Sites::makerSite() {
    QString site = fromEnvironment("TALLYAID_MAKER_SITE", QStringLiteral("https://" TALLYAID_MAKER_HOST));
    while (site.endsWith(u'/'))
        site.chop(1);
    return site;
}

QString Sites::downloadFolderUrl() {
    return makerSite() + QStringLiteral("/twdownloads/");
}

QString Sites::vendorUrl() {
    return fromEnvironment("TALLYAID_VENDOR_URL", QStringLiteral(TALLYAID_VENDOR_URL));
}

Platform::Publisher Sites::vendorPublisher() {
    // Fixed at build time, never from the environment.
    return {QString::fromUtf8(TALLYAID_VENDOR_PUBLISHER), QString::fromUtf8(TALLYAID_VENDOR_ORGANISATION),
            QString::fromUtf8(TALLYAID_VENDOR_LOCALITY), QString::fromUtf8(TALLYAID_VENDOR_COUNTRY)};
}

QString Sites::extraCaFile() {
    return fromEnvironment("TALLYAID_CA_FILE", QString());
}

bool Sites::testOverridesBuiltIn() {
#ifdef TALLYAID_TEST_OVERRIDES
    return true;
#else
    return false;
#endif
}
