#include "RunMode.h"

#include "platform/AsciiCase.h"

QString RunModeForParameter(const QString& parameter) {
    // Only a to z are upper-cased; nothing is trimmed.
    const QString upper = asciiUpper(parameter);

    struct Row {
        const char* parameter;
        const char* code;
    };
    static const Row table[] = {
        {"TEST", "TEST"}, {"TEST2", "TEST2"}, {"SETUPBDE", "BDE"}, {"UPDATEV2", "2"}, {"TV", "TV"}};
    for (const Row& row : table)
        if (upper == QLatin1String(row.parameter))
            return QLatin1String(row.code);
    return upper.isEmpty() ? QStringLiteral("INIT") : QString();
}
