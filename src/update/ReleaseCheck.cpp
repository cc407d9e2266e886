#include "ReleaseCheck.h"

#include "FileNames.h"
#include "Signature.h"
#include "platform/AnsiTextFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <limits>

namespace ReleaseCheck {
namespace {
constexpr qint64 MaxStateBytes = 256;
constexpr int LockWaitMs = 10000;

QByteArray checkOf(const QByteArray& decimal) {
    return QCryptographicHash::hash(decimal, QCryptographicHash::Sha256).toHex();
}

State damaged(const QString& path) {
    // Written last when something was accepted, so no recorded time lies after it.
    const QDateTime modified = QFileInfo(path).lastModified();
    return {State::Kind::Damaged,
            modified.isValid() ? modified.toSecsSinceEpoch() : std::numeric_limits<qint64>::max()};
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

QByteArray stateFileContent(qint64 signedAt) {
    const QByteArray decimal = QByteArray::number(signedAt);
    return decimal + ' ' + checkOf(decimal) + '\n';
}

State readState(const QString& folder) {
    const QString path = folder + FileName::ReleaseState;
    QFile file;
    const ReadOpen opened = AnsiTextFile::openForReading(file, path, MaxStateBytes);
    if (opened == ReadOpen::Missing)
        return {State::Kind::Absent, 0};
    if (opened != ReadOpen::Opened)
        return damaged(path);
    const QByteArray content = file.read(MaxStateBytes + 1);
    const int space = content.indexOf(' ');
    const QByteArray decimal = content.left(space);
    bool ok = space > 0 && decimal.size() <= 18 && !(decimal.size() > 1 && decimal.startsWith('0'));
    for (char c : decimal)
        ok = ok && c >= '0' && c <= '9';
    if (!ok || content != stateFileContent(decimal.toLongLong()))
        return damaged(path);
    return {State::Kind::Valid, decimal.toLongLong()};
}

Verdict admit(const QString& folder, qint64 signedAt) {
    // Two runs in one folder: without the lock, one could write back an older time it read
    // before the other raised it.
    QLockFile lock(folder + FileName::ReleaseState + QStringLiteral(".lock"));
    if (!lock.tryLock(LockWaitMs))
        return Verdict::StateNotWritten;
    const State state = readState(folder);
    if (state.kind != State::Kind::Absent && signedAt < state.bar)
        return Verdict::Older;
    if (state.kind == State::Kind::Valid && signedAt == state.bar)
        return Verdict::Accepted;
    // A whole new file, flushed, then renamed over the old one: a write cut off anywhere
    // leaves the old file as it was.
    QSaveFile file(folder + FileName::ReleaseState);
    if (!file.open(QIODevice::WriteOnly) || file.write(stateFileContent(signedAt)) < 0 || !file.commit())
        return Verdict::StateNotWritten;
    return Verdict::Accepted;
}

Verdict judgeVersionFile(const QString& folder, const QByteArray& key, const QString& name, const QByteArray& digest,
                         const std::optional<QByteArray>& signatureFile, qint64 now) {
    if (!signatureFile)
        return Verdict::Missing;
    const UpdateSignature::VersionFileSignature signature = UpdateSignature::parseVersionSignatureFile(*signatureFile);
    if (!signature.valid())
        return Verdict::Malformed;
    if (digest.size() != 32 ||
        !UpdateSignature::verify(
            key, UpdateSignature::versionFileMessage(name, signature.signedAt, signature.expiresAt, digest),
            signature.signature))
        return Verdict::Wrong;
    if (now >= signature.expiresAt)
        return Verdict::Expired;
    return admit(folder, signature.signedAt);
}
} // namespace ReleaseCheck
