// Help topics: the body-line rules as a table on the plain reader, then whole files, then
// the message window's help operations with their failure messages.
#include "HostileFiles.h"
#include "RecordingPlatform.h"
#include "WhenModal.h"
#include "dialogs/HelpTopic.h"
#include "dialogs/MsgFm.h"
#include "platform/Error.h"
#include "platform/Fonts.h"
#include "widgets/WrapLabel.h"

#include <QBuffer>
#include <QLabel>
#include <QtTest>

#include <optional>

namespace {
const QString kInserts[4] = {QStringLiteral("one"), QString(), QStringLiteral("three"), QStringLiteral("four")};

HelpSections readFile(const QByteArray& bytes, const QString& topic, bool* found = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    HelpSections s;
    const auto outcome = HelpTopicReader::read(buffer, topic, kInserts, s);
    if (found)
        *found = outcome == HelpTopicReader::Outcome::Found;
    return s;
}

// A device that never ends, as a pseudo-file: the same bytes again and again. It gives up
// (a read error) only far past any bound, so that a reader without bounds fails the test
// in finite memory; it counts what was taken from it.
class EndlessDevice : public QIODevice {
public:
    explicit EndlessDevice(QByteArray pattern) : m_pattern(std::move(pattern)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 taken = 0;

protected:
    qint64 readData(char* data, qint64 max) override {
        if (taken > 4 * HelpLineReader::MaxFileBytes)
            return -1;
        for (qint64 i = 0; i < max; ++i)
            data[i] = m_pattern[(taken + i) % m_pattern.size()];
        taken += max;
        return max;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_pattern;
};

struct Seen {
    QString strip, heading1, message1;
    int result = 0;
};
} // namespace

class HelpTopicTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }

    void bodyLines_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("ended");
        const QString none;
        QTest::newRow("text joined by spaces") << QStringList{"Choose", "  and click"} << none << "Choose   and click "
                                               << none << false;
        QTest::newRow("trailing blanks go") << QStringList{"text\t  \r"} << none << "text " << none << false;
        QTest::newRow("backslash breaks the line") << QStringList{"a", "\\b"} << none << "a \nb " << none << false;
        QTest::newRow("slash after blanks") << QStringList{"   /slash "} << none << "\nslash " << none << false;
        QTest::newRow("colon after blanks") << QStringList{"   :x"} << none << "x " << none << false;
        QTest::newRow(":END is text") << QStringList{":END", "more"} << none << "END more " << none << false;
        QTest::newRow("end ends") << QStringList{"a", " end ", "b"} << none << "a " << none << true;
        QTest::newRow("^c is text") << QStringList{"  ^c  "} << none << "^c " << none << false;
        QTest::newRow("^C is Courier") << QStringList{" ^C"} << none << none << "C" << false;
        QTest::newRow("other ^ text is trimmed") << QStringList{"  ^note  "} << none << "^note " << none << false;
        QTest::newRow("dash with blanks") << QStringList{"  -  "} << none << none << "-" << false;
        QTest::newRow("dash with text") << QStringList{"- x"} << none << "- x " << none << false;
        QTest::newRow("later line code wins") << QStringList{"-", "^C"} << none << none << "C" << false;
        QTest::newRow("dot and equals ignored") << QStringList{".", "="} << none << none << none << false;
        QTest::newRow("dot with more is text") << QStringList{".more", "= x"} << none << ".more = x " << none << false;
        QTest::newRow("comment") << QStringList{"~~ note", " ~~ shown"} << none << " ~~ shown " << none << false;
        QTest::newRow("inserts") << QStringList{"[INSERT1]", "  [insert2]  ", "[Insert3]", "[INSERT4]"} << none
                                 << "one  three four " << none << false;
        QTest::newRow("blank lines are paragraphs") << QStringList{"a", "", " \t"} << none << "a \n\n\n\n" << none
                                                    << false;
        QTest::newRow("heading keeps its blank") << QStringList{"HH: Head", "x"} << " Head" << "x " << none << false;
        QTest::newRow("lower-case hh") << QStringList{"hh:h"} << "h" << none << none << false;
        QTest::newRow("blank before HH is text") << QStringList{" HH:x"} << none << " HH:x " << none << false;
        QTest::newRow("Endnotes is text") << QStringList{"Endnotes", "more"} << none << "Endnotes more " << none
                                          << false;
    }
    void bodyLines() {
        QFETCH(QStringList, lines);
        QFETCH(QString, heading);
        QFETCH(QString, message);
        QFETCH(QString, code);
        QFETCH(bool, ended);
        HelpSections s;
        bool stopped = false;
        for (const QString& line : lines)
            if (!HelpTopicReader::takeLine(line, kInserts, s)) {
                stopped = true;
                break;
            }
        QCOMPARE(s.count, 1);
        QCOMPARE(s.H[0], heading);
        QCOMPARE(s.M[0], message);
        QCOMPARE(s.L[0], code);
        QCOMPARE(stopped, ended);
    }

    void printingExample() {
        const QByteArray file = "junk before\r\nTP:PRINTING\r\nHH:Printing a report\r\n~~ remember to update this "
                                "topic\r\nChoose the report\r\nand click Print.\r\n\\The report goes to the default "
                                "printer:\r\n[INSERT1]\r\n\r\nAsk your supplier if nothing is printed.\r\n-\r\nHH:Printer "
                                "settings\r\n^C\r\n:END OF PAGE is printed at the bottom.\r\nEND\r\nafter\r\n";
        const HelpSections s = readFile(file, QStringLiteral("printing"));
        QCOMPARE(s.count, 2);
        QCOMPARE(s.H[0], QStringLiteral("Printing a report"));
        QCOMPARE(s.M[0], QStringLiteral("Choose the report and click Print. \nThe report goes to the default printer: "
                                        "one \n\nAsk your supplier if nothing is printed. "));
        QCOMPARE(s.L[0], QStringLiteral("-"));
        QCOMPARE(s.H[1], QStringLiteral("Printer settings"));
        QCOMPARE(s.M[1], QStringLiteral("END OF PAGE is printed at the bottom. "));
        QCOMPARE(s.L[1], QStringLiteral("C"));
    }

    void eightHeadingsOverflowIntoSectionSeven() {
        QByteArray file = "TP:MANY\n";
        for (int i = 1; i <= 8; ++i)
            file += "HH:h" + QByteArray::number(i) + "\ntext" + QByteArray::number(i) + "\n";
        file += "END\n";
        const HelpSections s = readFile(file, QStringLiteral("many"));
        QCOMPARE(s.count, 7);
        QCOMPARE(s.H[5], QStringLiteral("h6"));
        QCOMPARE(s.M[5], QStringLiteral("text6 "));
        QCOMPARE(s.H[6], QStringLiteral("Oops! Sorry - some information is missing."));
        QCOMPARE(s.M[6], QStringLiteral("But this will be fixed before the next update.\n\ntext8 "));
    }

    void topicWithoutEndRunsToTheEndOfTheFile() {
        const HelpSections s = readFile("TP:A\nfirst\nTP:B\nsecond", QStringLiteral("A"));
        QCOMPARE(s.M[0], QStringLiteral("first TP:B second "));
    }

    void topicNames_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<bool>("found");
        QTest::newRow("trimmed and upper-cased request") << QByteArray("TP:PRINTING") << " printing " << true;
        QTest::newRow("trailing blank on the file's line") << QByteArray("TP:PRINTING ") << "printing" << false;
        QTest::newRow("lower-case marker") << QByteArray("tp:PRINTING") << "printing" << false;
        QTest::newRow("blank after the colon") << QByteArray("TP: PRINTING") << "printing" << false;
        QTest::newRow("8-bit name") << QByteArray("TP:CAF\xC9 \x80") << QString::fromUtf8("CAFÉ €") << true;
        QTest::newRow("only ASCII letters upper-cased") << QByteArray("TP:CAF\xC9") << QString::fromUtf8("café")
                                                        << false;
        QTest::newRow("0x9F is Y with diaeresis") << QByteArray("TP:A\x9F" "B") << QString::fromUtf8("aŸb") << true;
        // Outside the code page: never found, not even by the empty line this file has.
        QTest::newRow("name outside Windows-1252") << QByteArray("") << QString::fromUtf8("Ω") << false;
    }
    void topicNames() {
        QFETCH(QByteArray, line);
        QFETCH(QString, topic);
        QFETCH(bool, found);
        bool wasFound = false;
        const HelpSections s = readFile("x\n" + line + "\r\nbody\nEND\n", topic, &wasFound);
        QCOMPARE(wasFound, found);
        QCOMPARE(s.M[0], found ? QStringLiteral("body ") : QString());
    }

    void longLineAndLargeFileStayLinear() {
        // A 10 MB line in the body and 20 MB of other topics before it: read in one pass.
        QByteArray file;
        const QByteArray filler = "TP:OTHER\n" + QByteArray(1000, 'f') + "\nEND\n";
        while (file.size() < 20 * 1000 * 1000)
            file += filler;
        file += "TP:LAST\n" + QByteArray(10 * 1000 * 1000, 'x') + "\nEND";
        const HelpSections s = readFile(file, QStringLiteral("last"));
        QCOMPARE(s.M[0].size(), 10 * 1000 * 1000 + 1);
    }

    void endlessInputStopsAtTheBound_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<qint64>("bound");
        QTest::newRow("one endless line") << QByteArray("x") << HelpLineReader::MaxLineBytes;
        QTest::newRow("endless short lines") << QByteArray("x\n") << HelpLineReader::MaxFileBytes;
    }
    void endlessInputStopsAtTheBound() {
        QFETCH(QByteArray, pattern);
        QFETCH(qint64, bound);
        EndlessDevice device(pattern);
        HelpSections s;
        QString error;
        try {
            HelpTopicReader::read(device, QStringLiteral("never"), kInserts, s);
        } catch (const TallyError& e) {
            error = e.message();
        }
        QVERIFY2(error.contains(QString::number(bound)), qPrintable(error));
        // Read in blocks of at most 1 MiB: one block past the bound at most.
        QVERIFY2(device.taken <= bound + 1024 * 1024, qPrintable(QString::number(device.taken)));
    }

    void windowShowsTheTopic_data() {
        QTest::addColumn<QByteArray>("file");    // "<missing>", "<unreadable>" or the content
        QTest::addColumn<QString>("topic");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("strip");
        QTest::addColumn<QString>("heading1");
        QTest::addColumn<QString>("message1"); // prefix
        QTest::addColumn<int>("result");
        const QString sorry = QStringLiteral("Sorry - there is no information available on this topic.");
        const QString problem = QStringLiteral("A small problem occurred.");
        QTest::newRow("found, Yes") << QByteArray("TP:T\r\ncaf\xE9 \x80\r\nEND\r\n") << "t" << int(Qt::Key_Return)
                                    << "  TALLYWICK HELP" << "Tallywick Help" << QString::fromUtf8("café € ") << 6;
        QTest::newRow("not found: OK only") << QByteArray("TP:T\nx\n") << "other" << int(Qt::Key_Escape)
                                            << "  TALLYWICK HELP" << sorry << QString() << 1;
        QTest::newRow("missing file") << QByteArray("<missing>") << "t" << int(Qt::Key_Return) << "  INFORMATION"
                                      << problem << "The help file seems to be missing." << 7;
#ifndef _WIN32 // on Windows only a byte-range lock makes reads fail, and Wine does not enforce it
        QTest::newRow("read error") << QByteArray("<unreadable>") << "t" << int(Qt::Key_Return) << "  INFORMATION"
                                    << problem << "Windows would not let Tallywick open the help file." << 7;
#endif
        // Opening a pipe with no writer would wait for ever: it is a file that cannot be opened.
        QTest::newRow("named pipe") << QByteArray("<pipe>") << "t" << int(Qt::Key_Escape) << "  TALLYWICK HELP"
                                    << sorry << QString() << 1;
#ifndef _WIN32 // no links for a standard user on Windows, and no device can take the help file's name
        QTest::newRow("link to a device") << QByteArray("<device>") << "t" << int(Qt::Key_Escape) << "  TALLYWICK HELP"
                                          << sorry << QString() << 1;
        // Reports size 0 and never ends: reading stops at the bound, as a read failure.
        QTest::newRow("endless pseudo-file") << QByteArray("<pagemap>") << "t" << int(Qt::Key_Return)
                                             << "  INFORMATION" << problem
                                             << "Windows would not let Tallywick open the help file." << 7;
#endif
        QTest::newRow("larger than the bound") << QByteArray("<large>") << "t" << int(Qt::Key_Return)
                                               << "  INFORMATION" << problem
                                               << "Windows would not let Tallywick open the help file." << 7;
    }
    void windowShowsTheTopic() {
        QFETCH(QByteArray, file);
        QFETCH(QString, topic);
        QFETCH(int, key);
        QFETCH(QString, strip);
        QFETCH(QString, heading1);
        QFETCH(QString, message1);
        QFETCH(int, result);
        PlatformScope scope;
        const QString path = scope.platform.folder + QStringLiteral("HTly2.ODX");
        std::optional<NamedPipe> pipe;
        if (file == "<unreadable>") // opens, then every read fails
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path));
        else if (file == "<pagemap>")
            QVERIFY(QFile::link(QStringLiteral("/proc/self/pagemap"), path));
        else if (file == "<device>")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else if (file == "<pipe>") {
            pipe.emplace(path);
            QVERIFY(pipe->isValid());
            scope.platform.folder = pipe->folder(); // on Windows a folder of the pipe's own: pipes live apart
        } else if (file == "<large>") { // sparse: no disk space taken
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(HelpLineReader::MaxFileBytes + 1));
        } else if (file != "<missing>")
            scope.platform.writeFile(QStringLiteral("HTly2.ODX"), file);
        TMessageForm form;
        Seen seen;
        whenModal<TMessageForm>([&seen, key](TMessageForm* m) {
            const auto text = [m](const char* name) { return control<QLabel>(m, QLatin1String(name))->text(); };
            seen = {text("TopPanelLineAndTitle"), text("heading1"),
                    control(m, QStringLiteral("Label1"))->isVisible() ? text("Label1") : QString()};
            QVERIFY(!control(m, QStringLiteral("mbYESNOpanel"))->isVisible() ||
                    m->lastLayout().panel == MessagePanel::YesNo);
            QTest::keyClick(m, Qt::Key(key));
        });
        QCOMPARE(form.MessageHelpFileYN(topic), result);
        QCOMPARE(seen.strip, strip);
        QCOMPARE(seen.heading1, heading1);
        QVERIFY2(seen.message1.startsWith(message1), qPrintable(seen.message1));
    }
};

QTEST_MAIN(HelpTopicTest)
#include "tst_helptopic.moc"
