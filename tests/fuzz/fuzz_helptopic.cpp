// The help-topic reader with arbitrary file bytes and topic: never more than seven sections.
#include "FuzzInput.h"
#include "dialogs/HelpTopic.h"

#include <QBuffer>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto topicLength = in.take<std::uint8_t>();
    const QString topic = QString::fromLatin1(in.bytes(topicLength % 32));
    QByteArray file = in.rest();
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const QString inserts[4] = {QStringLiteral("one"), QString(), QStringLiteral("three"), QStringLiteral("[INSERT1]")};
    HelpSections s;
    HelpTopicReader::read(buffer, topic, inserts, s);
    FUZZ_CHECK(s.count >= 0 && s.count <= 7);
    qsizetype total = 0;
    for (int i = 0; i < 7; ++i) {
        FUZZ_CHECK(s.L[i].isEmpty() || s.L[i] == QLatin1String("-") || s.L[i] == QLatin1String("C"));
        if (i >= s.count)
            FUZZ_CHECK(s.H[i].isEmpty() && s.M[i].isEmpty() && s.L[i].isEmpty());
        total += s.H[i].size() + s.M[i].size();
    }
    // Linear: every byte of the file adds at most a few characters (an insert, a paragraph).
    FUZZ_CHECK(total <= 16 * file.size() + 64);
    return 0;
}
