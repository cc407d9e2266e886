#include "shell/RunMode.h"

#include <QtTest>

class RunModeTest : public QObject {
    Q_OBJECT
private slots:
    void firstParameterGivesRunMode_data() {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<QString>("code");
        QTest::newRow("no parameter") << QString() << "INIT";
        QTest::newRow("TEST") << "TEST" << "TEST";
        QTest::newRow("test lower case") << "test" << "TEST";
        QTest::newRow("TEST2 is not TEST") << "TEST2" << "TEST2";
        QTest::newRow("setupbde") << "setupbde" << "BDE";
        QTest::newRow("SetupBDE") << "SetupBDE" << "BDE";
        QTest::newRow("updatev2") << "updatev2" << "2";
        QTest::newRow("UpdateV2") << "UpdateV2" << "2";
        QTest::newRow("UPDATEV2") << "UPDATEV2" << "2";
        QTest::newRow("tv") << "tv" << "TV";
        QTest::newRow("leading space") << " UPDATEV2" << "";
        QTest::newRow("trailing space") << "UPDATEV2 " << "";
        QTest::newRow("HELP") << "HELP" << "";
        QTest::newRow("/?") << "/?" << "";
        QTest::newRow("non-ASCII letter") << QString::fromUtf8("tést") << "";
        QTest::newRow("only a space") << " " << "";
        QTest::newRow("BDE is not a parameter") << "BDE" << "";
        QTest::newRow("2 is not a parameter") << "2" << "";
        QTest::newRow("INIT is not a parameter") << "INIT" << "";
    }
    void firstParameterGivesRunMode() {
        QFETCH(QString, parameter);
        QFETCH(QString, code);
        QCOMPARE(RunModeForParameter(parameter), code);
    }
};

QTEST_APPLESS_MAIN(RunModeTest)
#include "tst_runmode.moc"
