#include "RunMode.h"

#include "platform/AsciiCase.h"
#include "update/Codes.h"

QString RunModeForParameter(const QString& parameter) {
    // Only a to z are upper-cased; nothing is trimmed.
    const QString upper = asciiUpper(parameter);

    struct Row {
        const char* parameter;
        RunModeCode code;
    };
    static const Row table[] = {{"TEST", RunModeCode::Test},
                                {"TEST2", RunModeCode::Test2},
                                {"SETUPBDE", RunModeCode::DatabaseEngine},
                                {"UPDATEV2", RunModeCode::UpdateV2},
                                {"TV", RunModeCode::RemoteSupport}};
    for (const Row& row : table)
        if (upper == QLatin1String(row.parameter))
            return runModeText(row.code);
    return runModeText(upper.isEmpty() ? RunModeCode::FirstInstall : RunModeCode::None);
}
