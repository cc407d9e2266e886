#pragma once

#include "trust/Signature.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Whether a version file fetched into the program folder is a release the maker signed, still
// in force, and no older than the newest one of its name this program folder has accepted
// before. No widgets here.
//
// The newest accepted signing time of each version file (the bar) is kept where only this
// account writes: in its own application data, one state file per program folder and version
// file name. Whoever else can write the program folder can therefore neither lower nor remove
// it. A state file is one line, the time in decimal, a space, and the SHA-256 of that decimal
// text in lower-case hex (which only tells a damaged file from a whole one). It is replaced in
// one step (a whole new file renamed over it, never written through a link) under a lock, and
// only ever raised. What is recorded is the signing time or the present, whichever is earlier,
// so one release signed with a clock far ahead cannot shut out the ones after it.
//
// A damaged state (cut short, garbled, a time after the present, or anything but a regular
// file under its name) never counts as absent when it can say more: a regular file was last
// written when something was accepted, so no time it recorded lies after its modification
// time, and a modification time in the past is its bar. An invalid or future modification
// time, or a link or folder (never written by this program), tells nothing: then only the
// signature's expiry bounds what is taken, as on the first run. The next accepted release
// repairs it; anything in the way that cannot be replaced is moved aside.
//
// The program folder's own state of earlier versions (FileName::ReleaseState) is read while a
// version file has no state of its own, and only ever raises the bar.
namespace ReleaseCheck {
enum class Verdict {
    Accepted,
    Missing,         // no signature could be fetched
    Malformed,       // not a version file's signature
    Wrong,           // not the maker's signature of these bytes under this name
    Expired,         // its expiry has passed
    Older,           // signed before the newest release this folder has accepted
    StateNotWritten, // the accepted time could not be recorded
};
// What a details line and the run record say about a refusal.
QString reasonText(Verdict verdict);

// How a wait for another run's lock passes: on the UI thread, with the window painting.
using Pause = std::function<void(int ms)>;

// Each decision on the maker's signatures is taken here and nowhere else: by the update
// window, the staged download and the signing command alike. A ".sig" is nullopt when none
// could be fetched or read; digests are SHA-256.

// A version file's own signature, the state aside: the maker's, of these bytes under this
// name, and in force at `now` (UTC seconds). *parsed gets what the ".sig" says, when it is one.
Verdict judgeVersionSignature(const QByteArray& key, const QString& name, const QByteArray& digest,
                              const std::optional<QByteArray>& signatureFile, qint64 now,
                              UpdateSignature::VersionFileSignature* parsed = nullptr);
// The installer `name` a version file named, bound to that release (the version file's digest).
Verdict judgeReleaseInstaller(const QByteArray& key, const QString& name, const QByteArray& releaseDigest,
                              const std::optional<QByteArray>& signatureFile, const QByteArray& digest);
// A program no version file names, by its own signature under its name.
Verdict judgeProgram(const QByteArray& key, const QString& name, const std::optional<QByteArray>& signatureFile,
                     const QByteArray& digest);

// The version file's signature and then the state: when both hold, its signing time is
// recorded for `programFolder`.
Verdict judgeVersionFile(const QString& programFolder, const QByteArray& key, const QString& name,
                         const QByteArray& digest, const std::optional<QByteArray>& signatureFile, qint64 now,
                         const Pause& pause = {});

// Where the state of `versionFile` for `programFolder` lives, and the lock of that folder's states.
QString statePath(const QString& programFolder, const QString& versionFile);
QString lockPath(const QString& programFolder);

struct State {
    enum class Kind { Absent, Valid, Damaged } kind = Kind::Absent;
    qint64 bar = 0; // version files signed before this are refused; 0: no bar
};
// The bar for `versionFile` at the time `now`.
State readState(const QString& programFolder, const QString& versionFile, qint64 now);
// Under the lock: Older when signedAt is below the bar; otherwise raises the recorded time to
// the smaller of signedAt and now (never lowers it) and says Accepted, or StateNotWritten.
Verdict admit(const QString& programFolder, const QString& versionFile, qint64 signedAt, qint64 now,
              const Pause& pause = {});
// The state file's content for a time.
QByteArray stateFileContent(qint64 time);
} // namespace ReleaseCheck
