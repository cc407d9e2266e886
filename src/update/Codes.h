#pragma once

#include <QString>

// The run-mode codes the update window is opened with. The window keeps the text it was
// given (RunMode); every decision goes through this one reading of it, exact and
// case-sensitive.
enum class RunModeCode { None, Test, Test2, DatabaseEngine, UpdateV2, RemoteSupport, FirstInstall };

inline QString runModeText(RunModeCode code) {
    switch (code) {
    case RunModeCode::Test: return QStringLiteral("TEST");
    case RunModeCode::Test2: return QStringLiteral("TEST2");
    case RunModeCode::DatabaseEngine: return QStringLiteral("BDE");
    case RunModeCode::UpdateV2: return QStringLiteral("2");
    case RunModeCode::RemoteSupport: return QStringLiteral("TV");
    case RunModeCode::FirstInstall: return QStringLiteral("INIT");
    case RunModeCode::None: break;
    }
    return QString();
}

inline RunModeCode runModeFromText(const QString& text) {
    for (RunModeCode code : {RunModeCode::Test, RunModeCode::Test2, RunModeCode::DatabaseEngine, RunModeCode::UpdateV2,
                             RunModeCode::RemoteSupport, RunModeCode::FirstInstall})
        if (text == runModeText(code))
            return code;
    return RunModeCode::None;
}

// The numbers the problem view shows, by what went wrong where.
enum class ProblemCode : int {
    DatabaseEngineMissing = 101,  // downloaded without error, but "setupbd.exe" is not there
    DatabaseEngineFailed = 102,   // its download, or another step, failed
    VersionFileFailed = 200,      // the version file's download failed
    VersionCheckFailed = 201,     // a later step of the version check failed
    InstallerFailed = 300,        // the installer's download failed (or its name was refused)
    InstallerMissing = 301,       // downloaded without error, but the installer is not there
    InstallerOtherError = 302,    // any other step of "Download Now..." failed
    RemoteSupportMissing = 401,   // downloaded without error, but the tool is not there
    RemoteSupportFailed = 402,    // its download, or another step, failed
};
