#pragma once

#include <QString>
#include <QStringList>

// The files the program itself fetches, removes or reads, each named once.
namespace FileName {
inline const QString VersionFileV2 = QStringLiteral("twv2.vn");
inline const QString VersionFileTest = QStringLiteral("twvtest.vn");
inline const QString VersionFileTest2 = QStringLiteral("twvtest2.vn");
inline const QString InstalledVersion = QStringLiteral("version.tly");
inline const QString InstallerV2 = QStringLiteral("twv2up.exe");
inline const QString TestInstaller = QStringLiteral("twtestup.exe");
inline const QString InstallerMask = QStringLiteral("twv*.exe"); // every earlier installer, special versions too
inline const QString DatabaseEngineSetup = QStringLiteral("setupbd.exe");
inline const QString RemoteSupportTool = QStringLiteral("TeamViewerQS_x64.exe");
// Where earlier versions kept the signing time of the newest version file accepted (with the
// maker's key); now only read, to raise the bar kept in this account's own data.
inline const QString ReleaseState = QStringLiteral("tallyaid-release.state");
inline const QString RunLog = QStringLiteral("tallyaid.log"); // the record of each run, for support
// What an old updater left behind: a folder of its own and the files in it, cleared at start.
inline const QString LeftoverFolder = QStringLiteral("upd19283");
inline const QStringList LeftoverFiles = {QStringLiteral("updw1.exe"), QStringLiteral("diskinfo.tly"),
                                          QStringLiteral("updatint.exe")};
// The installer of special version n (1 to 9999), chosen through "Other Options...".
inline QString specialVersionInstaller(int n) {
    return QStringLiteral("twv2") + QString::number(n) + QStringLiteral("up.exe");
}
} // namespace FileName

// A name that can only ever mean a file directly inside the program folder, on any system:
// no separators, no drive or stream colon, not "." or "..", no control characters,
// none of <>"|?*, and no trailing dot or space.
bool isPlainFileName(const QString& name);

// The small text files that say which release is the latest; their size is capped.
bool isVersionFileName(const QString& name);

// A name a version file (or the special-version entry) may give as the program to fetch and
// start: a plain file name ending in ".exe" or ".msi" (any case), at most 255 characters,
// not starting with "-" or ".", without control or format characters, slash look-alikes or
// characters beyond the basic plane,
// not a device name such as CON or COM1 (with or without an extension), and none of the
// program's own files: ownFileName (the executable), "version.tly" or a version file.
bool isInstallerFileName(const QString& name, const QString& ownFileName);

// The files a download may replace or remove under their real name: the version files,
// the earlier installers the update window clears itself, the database-engine installer and
// the remote-support tool. Any other file in the folder belongs to somebody else.
bool isOwnFamilyName(const QString& name);

// Where a download of `name` is written until it is complete: hidden, in the same folder,
// the same for every download of that name (so a leftover of a killed run is found again).
QString partialFileName(const QString& name);
// What a run that could not finish `name` keeps beside its part file, for a later run to go
// on from; and the name that record is written under before it takes its own.
QString continuationRecordName(const QString& name);
QString continuationRecordPartName(const QString& name);
