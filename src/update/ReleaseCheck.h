#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Whether a version file fetched into the program folder is a release the maker signed, still
// in force, and no older than the newest one this folder has accepted before. No widgets here.
//
// The newest accepted signing time is kept in the state file (FileName::ReleaseState) in the
// program folder: one line, the time in decimal, a space, and the SHA-256 of that decimal text
// in lower-case hex. It is replaced in one step (a whole new file renamed over it) under a
// lock, and only ever raised. A file that is there but cannot be read or does not check out
// (cut short, garbled, a folder under its name) never counts as absent: it refuses every
// version file signed before its last modification, which is no earlier than any signing time
// it can have recorded; the next release signed after that repairs it.
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
// What a details line says about a refusal.
QString reasonText(Verdict verdict);

// Judges the version file `name` whose bytes have the SHA-256 `digest`, against its fetched
// ".sig" (nullopt: none could be fetched), the maker's public key and the time `now` (UTC
// seconds). When accepted, its signing time is recorded in `folder`.
Verdict judgeVersionFile(const QString& folder, const QByteArray& key, const QString& name, const QByteArray& digest,
                         const std::optional<QByteArray>& signatureFile, qint64 now);

struct State {
    enum class Kind { Absent, Valid, Damaged } kind = Kind::Absent;
    qint64 bar = 0; // version files signed before this are refused
};
State readState(const QString& folder);
// Under the lock: Older when signedAt is below the bar; otherwise raises the recorded time to
// signedAt (never lowers it) and says Accepted, or StateNotWritten.
Verdict admit(const QString& folder, qint64 signedAt);
// The state file's content for a signing time.
QByteArray stateFileContent(qint64 signedAt);
} // namespace ReleaseCheck
