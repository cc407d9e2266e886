#include "Sites.h"

#include <QtGlobal>

#ifndef TALLYAID_MAKER_HOST
#define TALLYAID_MAKER_HOST "downloads.tallywick.example"
#endif
#ifndef TALLYAID_VENDOR_URL
#define TALLYAID_VENDOR_URL "https://download.teamviewer.com/download/TeamViewerQS_x64.exe"
#endif

namespace {
QString fromEnvironment(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
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

QString Sites::extraCaFile() {
    return qEnvironmentVariable("TALLYAID_CA_FILE");
}
