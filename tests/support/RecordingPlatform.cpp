#include "RecordingPlatform.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

RecordingPlatform::RecordingPlatform() {
    folder = withTrailingSeparator(QDir::toNativeSeparators(dir.path()));
}

RecordingPlatform::~RecordingPlatform() = default;

void RecordingPlatform::shellOpenFile(QWidget*, const QString& fileName, const QString& workingFolder) {
    if (openFails)
        throw TallyError(QStringLiteral("the shell could not be reached"));
    opened.append({fileName, workingFolder});
}

void RecordingPlatform::shellOpenHeldFile(QWidget* owner, int, const QString& fileName, const QString& workingFolder) {
    shellOpenFile(owner, fileName, workingFolder);
}

void RecordingPlatform::shellOpenUrl(QWidget*, const QString& url) {
    opened.append({url, QString()});
}

void RecordingPlatform::showInformation(QWidget*, const QString& text) {
    informations << text;
    if (onInformation)
        onInformation();
}

void RecordingPlatform::showWarning(QWidget*, const QString& text) {
    warnings << text;
}

bool RecordingPlatform::inputQuery(QWidget*, const QString& caption, const QString& prompt, QString& value) {
    inputPrompts << caption + u'|' + prompt + u'|' + value;
    if (!inputAnswer)
        return false;
    value = *inputAnswer;
    return true;
}

bool RecordingPlatform::deleteFile(const QString& path) {
    deletions << QFileInfo(path).fileName();
    if (deleteRaises.contains(QFileInfo(path).fileName()))
        throw TallyError(QStringLiteral("cannot delete ") + path);
    if (undeletable.contains(QFileInfo(path).fileName()))
        return false;
    return SystemPlatform::deleteFile(path);
}

bool RecordingPlatform::fileExists(const QString& path) const {
    return !vanished.contains(QFileInfo(path).fileName()) && SystemPlatform::fileExists(path);
}

QStringList RecordingPlatform::findFiles(const QString& folder, const QString& mask) const {
    ++findCalls;
    return SystemPlatform::findFiles(folder, mask);
}

QString RecordingPlatform::findFirstFile(const QString& folder, const QString& mask) const {
    ++findCalls;
    return SystemPlatform::findFirstFile(folder, mask);
}

Platform::PublisherCheck RecordingPlatform::checkPublisherSignature(int fd, const QString& path,
                                                                    const Publisher& publisher) const {
    publisherChecks << QFileInfo(path).fileName() + u'|' + publisher.name;
    return publisherCheckAnswer ? *publisherCheckAnswer : SystemPlatform::checkPublisherSignature(fd, path, publisher);
}

void RecordingPlatform::writeFile(const QString& relativePath, const QByteArray& content) const {
    const QString path = folder + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

bool RecordingPlatform::has(const QString& relativePath) const {
    return QFileInfo::exists(folder + relativePath);
}

QByteArray RecordingPlatform::read(const QString& relativePath) const {
    QFile file(folder + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
