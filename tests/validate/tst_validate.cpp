#include "TestLocale.h"
#include "validate/Validate.h"

#include <QtTest>

namespace {
qint64 raw(double value) {
    return static_cast<qint64>(std::llround(value * 10000));
}
} // namespace

class ValidateTest : public QObject {
    Q_OBJECT
private slots:
    void numbersReadTheSameInACommaLocale() {
        verifyRequestedLocale();
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("2.74"), 2, 0, 99 * CurrencyScale, 0), Currency(27400));
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("2,74"), 2, 0, 99 * CurrencyScale, 0), Currency(0));
    }

    void strToIntInRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("def");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty gives 0 not Default") << "" << 1 << 9999 << -5 << 0;
        QTest::newRow("three spaces") << "   " << 1 << 9999 << -5 << 0;
        QTest::newRow("tabs only") << "\t\t" << 1 << 9999 << -5 << 0;
        QTest::newRow("leading spaces") << "  42" << 0 << 100 << -1 << 42;
        QTest::newRow("trailing space") << "42 " << 0 << 100 << -1 << -1;
        QTest::newRow("tab before") << "\t42" << 0 << 100 << -1 << -1;
        QTest::newRow("plus sign") << "+7" << 0 << 100 << -1 << 7;
        QTest::newRow("minus sign") << "-7" << -10 << 100 << -1 << -7;
        QTest::newRow("two signs") << "--7" << -10 << 100 << -1 << -1;
        QTest::newRow("sign alone") << "-" << -10 << 100 << -1 << -1;
        QTest::newRow("space after sign") << "- 7" << -10 << 100 << -1 << -1;
        QTest::newRow("decimal point") << "1.0" << 0 << 100 << -1 << -1;
        QTest::newRow("group separator") << "1,000" << 0 << 10000 << -1 << -1;
        QTest::newRow("leading zeros") << "007" << 0 << 100 << -1 << 7;
        QTest::newRow("below Min") << "0" << 1 << 9999 << -1 << -1;
        QTest::newRow("Max inclusive") << "9999" << 1 << 9999 << -1 << 9999;
        QTest::newRow("above Max") << "10000" << 1 << 9999 << -1 << -1;
        QTest::newRow("2147483648 overflows") << "2147483648" << INT_MIN << INT_MAX << 3 << 3;
        QTest::newRow("2147483647") << "2147483647" << INT_MIN << INT_MAX << 3 << INT_MAX;
        QTest::newRow("-2147483648") << "-2147483648" << INT_MIN << INT_MAX << 3 << INT_MIN;
        QTest::newRow("huge decimal") << "99999999999999999999" << INT_MIN << INT_MAX << 3 << 3;
        QTest::newRow("x1F") << "x1F" << 1 << 9999 << 0 << 31;
        QTest::newRow("X1F") << "X1F" << 1 << 9999 << 0 << 31;
        QTest::newRow("$1f") << "$1f" << 1 << 9999 << 0 << 31;
        QTest::newRow("0x10") << "0x10" << 1 << 9999 << 0 << 16;
        QTest::newRow("0X10") << "0X10" << 1 << 9999 << 0 << 16;
        QTest::newRow("-$10") << "-$10" << -100 << 100 << 0 << -16;
        QTest::newRow("$FFFFFFFF is -1") << "$FFFFFFFF" << INT_MIN << INT_MAX << 0 << -1;
        QTest::newRow("$80000000") << "$80000000" << INT_MIN << INT_MAX << 0 << INT_MIN;
        QTest::newRow("nine hex digits") << "$100000000" << INT_MIN << INT_MAX << 5 << 5;
        QTest::newRow("leading hex zeros are not significant") << "$000000001" << 0 << 10 << 5 << 1;
        QTest::newRow("prefix alone") << "$" << 0 << 10 << 5 << 5;
        QTest::newRow("0x alone") << "0x" << 0 << 10 << 5 << 5;
        QTest::newRow("bad hex digit") << "$1G" << 0 << 10 << 5 << 5;
        QTest::newRow("letters") << "AB" << 1 << 9999 << 0 << 0;
        QTest::newRow("fullwidth digit") << QString::fromUtf8("\xEF\xBC\x91") << 0 << 10 << 5 << 5;
    }
    void strToIntInRange() {
        QFETCH(QString, text);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, def);
        QFETCH(int, expected);
        QCOMPARE(StrToIntInRange(text, min, max, def), expected);
    }

    void strToCurrencyInRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("places");
        QTest::addColumn<qint64>("expected");
        // Min 0, Max 99, Default 0 unless the row says otherwise (Default is 0 here).
        QTest::newRow("2.15") << "2.15" << 2 << raw(2.15);
        QTest::newRow("1.005 rounds up") << "1.005" << 2 << raw(1.01);
        QTest::newRow("2.675") << "2.675" << 2 << raw(2.68);
        QTest::newRow("2.745") << "2.745" << 2 << raw(2.75);
        QTest::newRow("99") << "99" << 2 << raw(99);
        QTest::newRow("99.004 fails the range before rounding") << "99.004" << 2 << qint64(0);
        QTest::newRow("99.0049") << "99.0049" << 2 << qint64(0);
        QTest::newRow("100") << "100" << 2 << qint64(0);
        QTest::newRow("-0.01") << "-0.01" << 2 << qint64(0);
        QTest::newRow("question mark") << "?" << 2 << qint64(0);
        QTest::newRow("comma") << "1,5" << 2 << qint64(0);
        QTest::newRow(".5") << ".5" << 2 << raw(0.5);
        QTest::newRow("lone point") << "." << 2 << qint64(0);
        QTest::newRow("1e1") << "1e1" << 2 << raw(10);
        QTest::newRow("e5 reads as 0") << "e5" << 2 << qint64(0);
        QTest::newRow("1e30 too large") << "1e30" << 2 << qint64(0);
        QTest::newRow("1e400 infinite") << "1e400" << 2 << qint64(0);
        QTest::newRow("leading spaces") << "  2.74" << 2 << raw(2.74);
        QTest::newRow("trailing space is invalid") << "2.74 " << 2 << qint64(0);
        QTest::newRow("INF") << "INF" << 2 << qint64(0);
        QTest::newRow("sign alone") << "+" << 2 << qint64(0);
        QTest::newRow("exponent without digits") << "1e" << 2 << qint64(0);
        QTest::newRow("places 3") << "1.2345" << 3 << raw(1.235);
        QTest::newRow("places 4") << "1.2345" << 4 << raw(1.2345);
        QTest::newRow("places 7 unrounded") << "1.2345" << 7 << raw(1.2345);
        QTest::newRow("exact tie goes to even, down") << "0.03125" << 4 << qint64(312);
        QTest::newRow("exact tie goes to even, up") << "0.09375" << 4 << qint64(938);
        QTest::newRow("tabs only") << "\t\t" << 2 << qint64(0);
    }
    void strToCurrencyInRange() {
        QFETCH(QString, text);
        QFETCH(int, places);
        QFETCH(qint64, expected);
        QCOMPARE(StrToCurrencyInRange(text, places, 0, 99 * CurrencyScale, 0), expected);
    }

    void strToCurrencyBlankGivesZeroNotDefault() {
        QCOMPARE(StrToCurrencyInRange(QStringLiteral(" \t"), 2, 1, 99 * CurrencyScale, 7), Currency(0));
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("x"), 2, 1, 99 * CurrencyScale, 7), Currency(7));
        // Overflow becomes the smallest value, which a range allowing it would return.
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("1e30"), 4, CurrencyMin, 0, 7), CurrencyMin);
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("-1e400"), 4, CurrencyMin, 0, 7), CurrencyMin);
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("0.00001e400"), 4, CurrencyMin, 0, 7), CurrencyMin);
        // Too small for a double is zero, not an overflow.
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("1e-400"), 4, -1, 1, 7), Currency(0));
        QCOMPARE(StrToCurrencyInRange(QStringLiteral("100000e-400"), 4, -1, 1, 7), Currency(0));
    }

    void rounding_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<qint64>("two");
        QTest::addColumn<qint64>("three");
        QTest::newRow("1.2345") << qint64(12345) << qint64(12300) << qint64(12350);
        QTest::newRow("1.2350") << qint64(12350) << qint64(12400) << qint64(12350);
        QTest::newRow("-1.2350") << qint64(-12350) << qint64(-12400) << qint64(-12350);
        QTest::newRow("2.6750") << qint64(26750) << qint64(26800) << qint64(26750);
        QTest::newRow("-0.005") << qint64(-50) << qint64(-100) << qint64(-50);
        QTest::newRow("0.0049") << qint64(49) << qint64(0) << qint64(50);
        QTest::newRow("zero") << qint64(0) << qint64(0) << qint64(0);
        QTest::newRow("-0.0005") << qint64(-5) << qint64(0) << qint64(-10);
        // Next to the ends of the range three places would overflow: the smallest value instead.
        QTest::newRow("largest") << qint64(INT64_MAX) << qint64(INT64_MAX / 100 * 100) << qint64(CurrencyMin);
        QTest::newRow("smallest") << qint64(INT64_MIN) << qint64(-(INT64_MAX / 100 * 100)) << qint64(CurrencyMin);
        QTest::newRow("largest that rounds") << qint64(INT64_MAX - 7) << qint64(INT64_MAX / 100 * 100)
                                             << qint64(INT64_MAX - 7);
    }
    void rounding() {
        QFETCH(qint64, value);
        QFETCH(qint64, two);
        QFETCH(qint64, three);
        QCOMPARE(RoundCurrency2(value), two);
        QCOMPARE(RoundCurrency3(value), three);
        QCOMPARE(RoundCurrency4(value), value);
    }

    void keepAlphanumeric_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("v 12-b") << "v 12-b" << "V12B";
        QTest::newRow("accented letter dropped") << QString::fromUtf8("é1") << "1";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("blanks") << "  " << "";
        QTest::newRow("x1f") << "x1f" << "X1F";
        QTest::newRow("-12") << "-12" << "12";
        QTest::newRow("dollar dropped") << "$1f" << "1F";
    }
    void keepAlphanumeric() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(KeepAlphanumeric(text), expected);
    }

    void formatting_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("expected");
        QTest::newRow("2.74") << qint64(27400) << "." << "2.74";
        QTest::newRow("comma separator") << qint64(27400) << "," << "2,74";
        QTest::newRow("zero") << qint64(0) << "." << "0.00";
        QTest::newRow("0.5") << qint64(5000) << "." << "0.50";
        QTest::newRow("99") << qint64(990000) << "." << "99.00";
        QTest::newRow("negative") << qint64(-12345) << "." << "-1.23";
    }
    void formatting() {
        QFETCH(qint64, value);
        QFETCH(QString, point);
        QFETCH(QString, expected);
        QCOMPARE(FormatCurrency2(value, point.at(0)), expected);
    }
};

QTEST_GUILESS_MAIN(ValidateTest)
#include "tst_validate.moc"
