// Reads one topic of a help-topic file with the program's own reader and prints the
// seconds it took and the size of the message read.
// Usage: tallyaid_benchhelp FILE TOPIC
#include "dialogs/HelpTopic.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE TOPIC\n", argv[0]);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    HelpSections sections;
    const QString inserts[4];
    const auto outcome = HelpTopicReader::read(file, QString::fromLocal8Bit(argv[2]), inserts, sections);
    qint64 chars = 0;
    for (const QString& m : sections.M)
        chars += m.size();
    std::printf("%.4f %lld %s\n", timer.nsecsElapsed() / 1e9, static_cast<long long>(chars),
                outcome == HelpTopicReader::Outcome::Found ? "found" : "missing");
    return 0;
}
