#include "HostileFiles.h"
#include "RecordingPlatform.h"
#include "platform/AnsiTextFile.h"
#include "platform/CommandLine.h"
#include "platform/Error.h"
#include "platform/FileOps.h"
#include "platform/SystemPlatform.h"

#include <QtTest>
#ifdef _WIN32
#include <windows.h>
#endif

#include <future>
#include <optional>

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    void wildcard_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star") << "twv215up.exe" << "twv*.exe" << true;
        QTest::newRow("empty run") << "twv.exe" << "twv*.exe" << true;
        QTest::newRow("case") << "TWV2UP.EXE" << "twv*.exe" << true;
        QTest::newRow("other extension") << "twv2up.txt" << "twv*.exe" << false;
        QTest::newRow("prefix") << "xtwv2.exe" << "twv*.exe" << false;
        QTest::newRow("suffix after ext") << "twv2.exe.bak" << "twv*.exe" << false;
        QTest::newRow("backtracking") << "twv.exe.exe" << "twv*.exe" << true;
        QTest::newRow("question mark") << "twv2.exe" << "twv?.exe" << true;
        QTest::newRow("question needs one") << "twv.exe" << "twv?.exe" << false;
        // The system's search also matches short 8.3 names: TWV2~1.EXE stands for these.
        QTest::newRow("long name behind a short one") << "twv2.exe1" << "twv*.exe" << false;
        QTest::newRow("long extension") << "twv2up.exe_old" << "twv*.exe" << false;
        QTest::newRow("short name itself") << "TWV2~1.EXE" << "twv*.exe" << true;
        QTest::newRow("exact name, case") << "TWV2UP.EXE" << "twv2up.exe" << true;
        QTest::newRow("exact name, longer") << "twv2up.exe.1" << "twv2up.exe" << false;
    }
    void wildcard() {
        QFETCH(QString, name);
        QFETCH(QString, mask);
        QFETCH(bool, matches);
        QCOMPARE(matchesWildcard(name, mask), matches);
    }

    void findFilesLeavesOutFoldersAndHiddenFiles() {
        RecordingPlatform p;
        p.writeFile(QStringLiteral("twv2.exe"), "x");
        p.writeFile(QStringLiteral(".twv9.exe"), "hidden");
#ifdef _WIN32 // hidden by its attribute there, not by its dot
        SetFileAttributesW(reinterpret_cast<LPCWSTR>((p.folder + QStringLiteral(".twv9.exe")).utf16()),
                           FILE_ATTRIBUTE_HIDDEN);
#endif
        p.writeFile(QStringLiteral("twvB.exe"), "x");
        p.writeFile(QStringLiteral("twva.exe"), "x");
        QDir(p.folder).mkdir(QStringLiteral("twvold.exe"));
        QCOMPARE(p.SystemPlatform::findFiles(p.folder, QStringLiteral("twv*.exe")),
                 QStringList({"twv2.exe", "twva.exe", "twvB.exe"}));
        QCOMPARE(p.SystemPlatform::findFirstFile(p.folder, QStringLiteral("twv*.exe")), QStringLiteral("twv2.exe"));
        QCOMPARE(p.SystemPlatform::findFirstFile(p.folder, QStringLiteral("twvold*")), QString());
    }

    void publisherSignatureIsNotCheckedHereButCanBeScripted() {
        RecordingPlatform p;
        p.writeFile(QStringLiteral("tool.exe"), "MZ unsigned");
        const QString tool = p.folder + QStringLiteral("tool.exe");
        QFile file(tool);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const Platform::Publisher vendor{QStringLiteral("Vendor"), QStringLiteral("Vendor"), QStringLiteral("Town"),
                                         QStringLiteral("DE")};
#ifdef _WIN32
        const auto unsignedAnswer = Platform::PublisherCheck::Invalid; // Authenticode finds no signature
#else
        const auto unsignedAnswer = Platform::PublisherCheck::NotApplicable; // nothing the system checks
#endif
        QCOMPARE(p.SystemPlatform::checkPublisherSignature(file.handle(), tool, vendor), unsignedAnswer);
        p.publisherCheckAnswer = Platform::PublisherCheck::Invalid;
        Platform& platform = p;
        QCOMPARE(platform.checkPublisherSignature(file.handle(), tool, vendor), Platform::PublisherCheck::Invalid);
        QCOMPARE(p.publisherChecks.last(), QStringLiteral("tool.exe|Vendor"));
    }

    void signerMustBeThePublisher_data() {
        QTest::addColumn<QString>("subject"); // attribute=value, comma-separated, in order
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the publisher") << "C=DE,L=Town,O=Vendor GmbH,CN=Vendor GmbH" << true;
        QTest::newRow("with a state and a unit") << "C=DE,ST=Land,L=Town,O=Vendor GmbH,OU=Dev,CN=Vendor GmbH" << true;
        QTest::newRow("look-alike organisation") << "C=DE,L=Town,O=Vendor GmbH & Co,CN=Vendor GmbH" << false;
        QTest::newRow("another town") << "C=DE,L=Elsewhere,O=Vendor GmbH,CN=Vendor GmbH" << false;
        QTest::newRow("another country") << "C=US,L=Town,O=Vendor GmbH,CN=Vendor GmbH" << false;
        QTest::newRow("no locality") << "C=DE,O=Vendor GmbH,CN=Vendor GmbH" << false;
        QTest::newRow("a second organisation") << "C=DE,L=Town,O=Vendor GmbH,O=Other Ltd,CN=Vendor GmbH" << false;
        QTest::newRow("trailing blank in the name") << "C=DE,L=Town,O=Vendor GmbH,CN=Vendor GmbH " << false;
        QTest::newRow("name in other case") << "C=DE,L=Town,O=Vendor GmbH,CN=VENDOR GMBH" << false;
    }
    void signerMustBeThePublisher() {
        QFETCH(QString, subject);
        QFETCH(bool, accepted);
        QList<QPair<QString, QString>> parts;
        for (const QString& part : subject.split(u','))
            parts.append({part.section(u'=', 0, 0), part.section(u'=', 1)});
        const Platform::Publisher vendor{QStringLiteral("Vendor GmbH"), QStringLiteral("Vendor GmbH"),
                                         QStringLiteral("Town"), QStringLiteral("DE")};
        QCOMPARE(subjectIsPublisher(parts, vendor), accepted);
    }

    void parametersAreTheUsersOnly() {
#ifdef _WIN32
        QSKIP("Windows reads the process's own command line, not argv (the end-to-end test passes parameters)");
#endif
        char program[] = "tallyaid", reverse[] = "-reverse", platform[] = "-platform", offscreen[] = "offscreen";
        char* argv[] = {program, reverse, platform, offscreen, nullptr};
        QCOMPARE(commandLineParameters(4, argv), QStringList({"-reverse", "-platform", "offscreen"}));
        QCOMPARE(commandLineParameters(1, argv), QStringList());
    }

    void programFolderEndsWithSeparator() {
        SystemPlatform system;
        QVERIFY(system.programFolder().endsWith(QDir::separator()));
        QCOMPARE(withTrailingSeparator(QStringLiteral("/a/b")), QStringLiteral("/a/b") + QDir::separator());
        QCOMPARE(withTrailingSeparator(QStringLiteral("/a/b/")), QStringLiteral("/a/b/"));
    }

    void ansiTextDecodesWindows1252() {
        const QByteArray bytes("\xE9\x80\x93\x9F\x81 A", 7);
        QCOMPARE(AnsiTextFile::decode(bytes), QString::fromUtf8("é€“Ÿ\xC2\x81 A"));
        // Every byte from 0x80 to 0x9F; the five unassigned ones stay C1 controls.
        QByteArray high;
        for (int b = 0x80; b <= 0x9F; ++b)
            high += char(b);
        QCOMPARE(AnsiTextFile::decode(high),
                 QString::fromUtf8("€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ"));
        QCOMPARE(AnsiTextFile::decode("\xA0\xFF"), QString::fromUtf8("\u00A0ÿ"));
    }

    void ansiTextLines_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << QByteArray("2.74\r\n-\r\ntwv2up.exe\r\n") << QStringList{"2.74", "-", "twv2up.exe"};
        QTest::newRow("LF") << QByteArray("2.74\n-\ntwv2up.exe") << QStringList{"2.74", "-", "twv2up.exe"};
        QTest::newRow("empty lines kept") << QByteArray("\n\nx") << QStringList{"", "", "x"};
        QTest::newRow("8-bit") << QByteArray("caf\xE9\r\n") << QStringList{QString::fromUtf8("café")};
    }
    void ansiTextLines() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, lines);
        RecordingPlatform p;
        p.writeFile(QStringLiteral("f.txt"), content);
        AnsiTextFile file(p.folder + QStringLiteral("f.txt"));
        QStringList read;
        while (!file.atEnd())
            read << file.readLine();
        QCOMPARE(read, lines);
        QCOMPARE(file.readLine(), QString()); // past the end reads as empty
    }

    void overlongLineIsAnErrorNotAMemoryBlowUp() {
        RecordingPlatform p;
        p.writeFile(QStringLiteral("long.txt"), QByteArray(AnsiTextFile::MaxLineBytes + 1, 'a') + "\nnext\n");
        p.writeFile(QStringLiteral("limit.txt"), QByteArray(AnsiTextFile::MaxLineBytes, 'a') + "\r\n");
        AnsiTextFile longFile(p.folder + QStringLiteral("long.txt"));
        QVERIFY_THROWS_EXCEPTION(TallyError, longFile.readLine());
        AnsiTextFile limitFile(p.folder + QStringLiteral("limit.txt"));
        QCOMPARE(limitFile.readLine().size(), AnsiTextFile::MaxLineBytes);
        QVERIFY_THROWS_EXCEPTION(TallyError, AnsiTextFile(p.folder + QStringLiteral("missing.txt")));
    }

    void readsOnlyRegularFilesWithoutWaiting_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("readable"); // AnsiTextFile opens it and reads its first line
        QTest::newRow("regular file") << "file" << int(ReadOpen::Opened) << true;
        QTest::newRow("missing") << "missing" << int(ReadOpen::Missing) << false;
        QTest::newRow("named pipe without a writer") << "pipe" << int(ReadOpen::NotAFile) << false;
        QTest::newRow("folder") << "folder" << int(ReadOpen::NotAFile) << false;
#ifdef _WIN32
        QTest::newRow("a device") << "device" << int(ReadOpen::NotAFile) << false;
#else
        QTest::newRow("link to a device") << "device" << int(ReadOpen::NotAFile) << false;
#endif
        QTest::newRow("larger than the bound") << "large" << int(ReadOpen::TooLarge) << false;
        QTest::newRow("exactly the bound") << "exact" << int(ReadOpen::Opened) << true;
        // Opened small; another handle then adds 2 MiB of short lines while it is read.
        QTest::newRow("grows past the bound while read") << "growing" << int(ReadOpen::Opened) << true;
#ifndef _WIN32 // Windows has no pseudo-files that report size 0 and never end
        // Reports size 0 and goes on for ever: opened, but never read past the bound.
        QTest::newRow("link to an endless pseudo-file") << "pagemap" << int(ReadOpen::Opened) << false;
#endif
    }
    void readsOnlyRegularFilesWithoutWaiting() {
        QFETCH(QString, kind);
        QFETCH(int, outcome);
        QFETCH(bool, readable);
        RecordingPlatform p;
        QString path = p.folder + QStringLiteral("version.tly");
        std::optional<NamedPipe> pipe;
        if (kind == QLatin1String("file") || kind == QLatin1String("growing"))
            p.writeFile(QStringLiteral("version.tly"), "2.74\r\n");
        else if (kind == QLatin1String("exact"))
            p.writeFile(QStringLiteral("version.tly"), "2.74\r\n" + QByteArray(1023, 'x').append('\n').repeated(1023) +
                                                           QByteArray(int(AnsiTextFile::MaxFileBytes) - 6 - 1023 * 1024 - 1, 'y') + '\n');
        else if (kind == QLatin1String("pipe")) {
            pipe.emplace(path);
            QVERIFY(pipe->isValid());
            path = pipe->path(); // on Windows not in the folder: pipes live apart
        } else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(p.folder).mkdir(QStringLiteral("version.tly")));
        else if (kind == QLatin1String("device"))
#ifdef _WIN32 // no links for a standard user: the device by its own name
            path = QStringLiteral("\\\\.\\NUL");
#else
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
#endif
        else if (kind == QLatin1String("pagemap"))
            QVERIFY(QFile::link(QStringLiteral("/proc/self/pagemap"), path));
        else if (kind == QLatin1String("large")) { // sparse: no disk space taken
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(AnsiTextFile::MaxFileBytes + 1));
        }
        // On a worker, so that an open that waits fails the test here instead of hanging it.
        struct Result {
            ReadOpen opened;
            QString firstLine, error;
            qint64 read = 0;
        };
        const bool grows = kind == QLatin1String("growing");
        auto work = std::async(std::launch::async, [path, grows] {
            Result r;
            int fd = -1;
            r.opened = openRegularFileForReading(path, AnsiTextFile::MaxFileBytes, &fd, &r.error);
            if (fd >= 0)
                closeFile(fd);
            try {
                AnsiTextFile file(path);
                r.firstLine = file.readLine();
                r.read = r.firstLine.size();
                QFile other(path);
                if (grows && other.open(QIODevice::Append))
                    other.write(QByteArray(1023, 'g').append('\n').repeated(2048));
                while (!file.atEnd())
                    r.read += file.readLine().size();
            } catch (const TallyError& e) {
                r.error = e.message();
            }
            return r;
        });
        if (work.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Release each open stuck on the pipe, so the worker can end, then fail.
            while (work.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
                if (pipe)
                    pipe->releaseWaiters();
            QFAIL("opening the file waited");
        }
        const Result r = work.get();
        QCOMPARE(int(r.opened), outcome);
        QCOMPARE(r.firstLine == QLatin1String("2.74"), readable);
        QVERIFY2(readable || !r.error.isEmpty(), "anything unreadable is an error of the step that reads it");
        QCOMPARE(!r.error.isEmpty(), !readable || grows);
        QVERIFY(r.read <= AnsiTextFile::MaxFileBytes);
    }

    void shellOpenStartsXdgOpenDetachedInTheWorkingFolder_data() {
        QTest::addColumn<bool>("held");
        QTest::newRow("by name") << false;
        QTest::newRow("held, another file renamed over the name after the check") << true;
    }
    void shellOpenStartsXdgOpenDetachedInTheWorkingFolder() {
        QFETCH(bool, held);
#ifdef _WIN32
        QSKIP("xdg-open is Linux's; the Windows end-to-end test sees ShellExecuteW start a real program");
#endif
        // A recording xdg-open first on PATH shows what the real implementation hands over.
        QTemporaryDir bin;
        RecordingPlatform p;
        const QString log = bin.filePath(QStringLiteral("log"));
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s\\n' \"$*\" \"$(pwd)\" \"$(cat \"$1\")\" >> '%1.tmp' && mv '%1.tmp' '%1'\n")
                         .arg(log)
                         .toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);
        SystemPlatform system;
        p.writeFile(QStringLiteral("twv2up.exe"), "checked");
        QFile checked(p.folder + QStringLiteral("twv2up.exe"));
        QVERIFY(checked.open(QIODevice::ReadOnly));
        QString error;
        if (held) {
            p.writeFile(QStringLiteral("theirs.exe"), "theirs");
            QVERIFY(replaceFile(p.folder + QStringLiteral("theirs.exe"), p.folder + QStringLiteral("twv2up.exe"), &error));
            system.shellOpenHeldFile(nullptr, checked.handle(), QStringLiteral("twv2up.exe"), p.folder);
        } else {
            system.shellOpenFile(nullptr, QStringLiteral("twv2up.exe"), p.folder);
        }
        qputenv("PATH", oldPath);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(log), 10000);
        QFile result(log);
        QVERIFY(result.open(QIODevice::ReadOnly));
        const QStringList line = QString::fromUtf8(result.readAll()).trimmed().split(u'|');
        QCOMPARE(line.mid(1), QStringList({QDir(p.folder).canonicalPath(), QStringLiteral("checked")}));
        QCOMPARE(QFileInfo(line[0]).fileName(), QStringLiteral("twv2up.exe"));
        QCOMPARE(QFileInfo(line[0]).isAbsolute(), held); // held: a copy in a folder nobody else may change
        if (held) {
            QCOMPARE(QFileInfo(QFileInfo(line[0]).path()).permissions() & 0x0077, QFileDevice::Permissions());
            QDir(QFileInfo(line[0]).path()).removeRecursively();
        }
    }
};

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
