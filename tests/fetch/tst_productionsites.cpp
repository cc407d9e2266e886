// A build without the test-only overrides takes its addresses from the build alone.
#include "fetch/Sites.h"

#include <QtTest>

class ProductionSitesTest : public QObject {
    Q_OBJECT
private slots:
    void environmentIsIgnored() {
        qputenv("TALLYAID_MAKER_SITE", "https://attacker.test");
        qputenv("TALLYAID_VENDOR_URL", "https://attacker.test/tool.exe");
        qputenv("TALLYAID_CA_FILE", "/tmp/attacker-ca.pem");
        QVERIFY(!Sites::testOverridesBuiltIn());
        QCOMPARE(Sites::makerSite(), QStringLiteral("https://downloads.tallywick.example"));
        QCOMPARE(Sites::downloadFolderUrl(), QStringLiteral("https://downloads.tallywick.example/twdownloads/"));
        QCOMPARE(Sites::vendorUrl(), QStringLiteral("https://download.teamviewer.com/download/TeamViewerQS_x64.exe"));
        QCOMPARE(Sites::extraCaFile(), QString());
    }
};

QTEST_GUILESS_MAIN(ProductionSitesTest)
#include "tst_productionsites.moc"
