#include "trust/ReleaseCheck.h"

#include "trust/FileNames.h"
#include "trust/Signature.h"
#include "platform/FileOps.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace ReleaseCheck {
namespace {
constexpr qint64 MaxStateBytes = 256;
// Another run holds the lock only while it reads and replaces a line: a wait longer than
// this means something is wrong, and the window must not stall on it.
constexpr int LockWaitMs = 1500;
constexpr int LockRetryMs = 20;

QByteArray checkOf(const QByteArray& decimal) {
    return QCryptographicHash::hash(decimal, QCryptographicHash::Sha256).toHex();
}

// Empty when the system names no such place for this account: nothing is recorded then.
QString stateFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/releases/");
}

// The program folder as a name of a few characters: the same folder, the same states.
QString folderKey(const QString& programFolder) {
    QString text = folderKeyText(programFolder);
    if (text.isEmpty())
        text = QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath());
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

// Something that is not ours to remove, out of the way under a name of its own (the link or
// junction itself, never what it points to).
bool moveAside(const QString& path) {
    const QString aside = path + QStringLiteral(".damaged-%1").arg(QDateTime::currentMSecsSinceEpoch());
    return replaceFile(path, aside, nullptr) ||
           QDir().rename(path, aside); // the second for a folder on Windows
}

bool isRegularFile(const QString& path) {
    int fd = -1;
    qint64 modified = 0;
    const ReadOpen opened = openRegularFileNoFollow(path, 0, &fd, &modified);
    if (fd >= 0)
        closeFile(fd);
    return opened == ReadOpen::Opened || opened == ReadOpen::TooLarge;
}

State readOne(const QString& path, qint64 now) {
    int fd = -1;
    qint64 modified = 0;
    const ReadOpen opened = openRegularFileNoFollow(path, MaxStateBytes, &fd, &modified);
    if (opened == ReadOpen::Missing)
        return {State::Kind::Absent, 0};
    // Only a regular file can be one this program wrote, and it wrote it last when it accepted
    // something: no time it recorded lies after its modification. Any other time says nothing.
    const State damaged{State::Kind::Damaged, modified > 0 && modified <= now ? modified : 0};
    if (opened != ReadOpen::Opened)
        return damaged;
    QByteArray content(int(MaxStateBytes + 1), Qt::Uninitialized);
    const qint64 got = readAt(fd, 0, content.data(), content.size());
    closeFile(fd);
    if (got < 0)
        return damaged;
    content.truncate(int(got));
    const int space = content.indexOf(' ');
    const QByteArray decimal = content.left(space);
    bool ok = space > 0 && decimal.size() <= 18 && !(decimal.size() > 1 && decimal.startsWith('0'));
    for (char c : decimal)
        ok = ok && c >= '0' && c <= '9';
    // A time after the present was never recorded by this program.
    if (!ok || content != stateFileContent(decimal.toLongLong()) || decimal.toLongLong() > now)
        return damaged;
    return {State::Kind::Valid, decimal.toLongLong()};
}

bool writeState(const QString& path, qint64 time) {
    const auto clear = [](const QString& leftover) {
        if (!QFile::remove(leftover))
            moveAside(leftover);
    };
    const QString part = path + QStringLiteral(".part");
    OwnedFileStatus status;
    QString error;
    const int fd = createOwnedFile(part, clear, &status, &error);
    if (fd < 0)
        return false;
    // A whole new file, flushed, then renamed over the old one: a write cut off anywhere
    // leaves the old file as it was. The rename replaces a link itself; what it cannot
    // replace (a folder) goes aside, but never a state file.
    bool ok = writeAll(fd, stateFileContent(time)) && syncToDisk(fd);
    if (ok && !renameOwnedFile(fd, part, path, &error))
        ok = !isRegularFile(path) && moveAside(path) && renameOwnedFile(fd, part, path, &error);
    if (!ok) {
        discardOwnedFile(fd, part, clear);
        return false;
    }
    closeFile(fd);
    return true;
}

// This run's hold on the program folder's states, waiting at most LockWaitMs for another
// run's. -1 when it cannot be had.
int takeLock(const QString& path, const Pause& pause) {
    QElapsedTimer waited;
    waited.start();
    bool movedAside = false;
    for (;;) {
        LockStatus status;
        const int fd = tryLockFile(path, &status);
        if (status == LockStatus::Locked)
            return fd;
        if (status == LockStatus::NotAFile && !movedAside) {
            // No run can hold what is not a regular file: it is only in the way.
            movedAside = true;
            if (moveAside(path))
                continue;
        }
        if (status != LockStatus::HeldElsewhere || waited.elapsed() >= LockWaitMs)
            return -1;
        if (pause)
            pause(LockRetryMs);
        else
            QThread::msleep(LockRetryMs);
    }
}
} // namespace

QString reasonText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Accepted: return QStringLiteral("accepted");
    case Verdict::Missing: return QStringLiteral("signature missing");
    case Verdict::Malformed: return QStringLiteral("signature malformed");
    case Verdict::Wrong: return QStringLiteral("signature wrong");
    case Verdict::Expired: return QStringLiteral("signature expired");
    case Verdict::Older: return QStringLiteral("older than the release accepted before");
    case Verdict::StateNotWritten: return QStringLiteral("the accepted release could not be recorded");
    }
    return QString();
}

QByteArray stateFileContent(qint64 time) {
    const QByteArray decimal = QByteArray::number(time);
    return decimal + ' ' + checkOf(decimal) + '\n';
}

QString statePath(const QString& programFolder, const QString& versionFile) {
    if (stateFolder().isEmpty())
        return QString();
    return stateFolder() + folderKey(programFolder) + u'-' + versionFile + QStringLiteral(".state");
}

QString lockPath(const QString& programFolder) {
    if (stateFolder().isEmpty())
        return QString();
    return stateFolder() + folderKey(programFolder) + QStringLiteral(".lock");
}

State readState(const QString& programFolder, const QString& versionFile, qint64 now) {
    State state = readOne(statePath(programFolder, versionFile), now);
    if (state.kind == State::Kind::Absent) {
        // Anyone who can write the program folder can write this one: it may raise the bar,
        // never lower it, and only up to the present.
        const State old = readOne(programFolder + FileName::ReleaseState, now);
        if (old.kind == State::Kind::Valid)
            state.bar = old.bar;
    }
    return state;
}

Verdict admit(const QString& programFolder, const QString& versionFile, qint64 signedAt, qint64 now,
              const Pause& pause) {
    // Two runs for one folder: without the lock, one could write back an older time it read
    // before the other raised it.
    if (stateFolder().isEmpty() || !QDir().mkpath(stateFolder()))
        return Verdict::StateNotWritten;
    const int lock = takeLock(lockPath(programFolder), pause);
    if (lock < 0)
        return Verdict::StateNotWritten;
    const State state = readState(programFolder, versionFile, now);
    const qint64 recorded = qMin(signedAt, now);
    Verdict verdict = Verdict::Accepted;
    if (signedAt < state.bar)
        verdict = Verdict::Older;
    else if (!(state.kind == State::Kind::Valid && recorded <= state.bar) &&
             !writeState(statePath(programFolder, versionFile), qMax(recorded, state.bar)))
        verdict = Verdict::StateNotWritten;
    unlockFile(lock);
    return verdict;
}

Verdict judgeVersionSignature(const QByteArray& key, const QString& name, const QByteArray& digest,
                              const std::optional<QByteArray>& signatureFile, qint64 now,
                              UpdateSignature::VersionFileSignature* parsed) {
    if (!signatureFile)
        return Verdict::Missing;
    const UpdateSignature::VersionFileSignature signature = UpdateSignature::parseVersionSignatureFile(*signatureFile);
    if (!signature.valid())
        return Verdict::Malformed;
    if (parsed)
        *parsed = signature;
    if (digest.size() != 32 ||
        !UpdateSignature::verify(
            key, UpdateSignature::versionFileMessage(name, signature.signedAt, signature.expiresAt, digest),
            signature.signature))
        return Verdict::Wrong;
    return now >= signature.expiresAt ? Verdict::Expired : Verdict::Accepted;
}

namespace {
// A program's one-line ".sig" over `message`; `bound` false: the message binds nothing.
Verdict judgeProgramSignature(const QByteArray& key, const std::optional<QByteArray>& signatureFile,
                              const QByteArray& digest, const QByteArray& message, bool bound = true) {
    if (!signatureFile)
        return Verdict::Missing;
    const QByteArray signature = UpdateSignature::parseSignatureFile(*signatureFile);
    if (signature.isEmpty())
        return Verdict::Malformed;
    return bound && digest.size() == 32 && UpdateSignature::verify(key, message, signature) ? Verdict::Accepted
                                                                                             : Verdict::Wrong;
}
} // namespace

Verdict judgeReleaseInstaller(const QByteArray& key, const QString& name, const QByteArray& releaseDigest,
                              const std::optional<QByteArray>& signatureFile, const QByteArray& digest) {
    // Without an accepted release there is nothing it could be bound to.
    return judgeProgramSignature(key, signatureFile, digest,
                                 UpdateSignature::releaseInstallerMessage(name, releaseDigest, digest),
                                 releaseDigest.size() == 32);
}

Verdict judgeProgram(const QByteArray& key, const QString& name, const std::optional<QByteArray>& signatureFile,
                     const QByteArray& digest) {
    return judgeProgramSignature(key, signatureFile, digest, UpdateSignature::message(name, digest));
}

Verdict judgeVersionFile(const QString& programFolder, const QByteArray& key, const QString& name,
                         const QByteArray& digest, const std::optional<QByteArray>& signatureFile, qint64 now,
                         const Pause& pause) {
    UpdateSignature::VersionFileSignature signature;
    const Verdict verdict = judgeVersionSignature(key, name, digest, signatureFile, now, &signature);
    return verdict == Verdict::Accepted ? admit(programFolder, name, signature.signedAt, now, pause) : verdict;
}
} // namespace ReleaseCheck
