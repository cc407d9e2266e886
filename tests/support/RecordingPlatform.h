#pragma once

#include "platform/SystemPlatform.h"

#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <optional>

// The real file system and screens, with a temporary program folder, and a record of
// everything that would start programs or wait for a person.
class RecordingPlatform : public SystemPlatform {
public:
    RecordingPlatform();
    ~RecordingPlatform() override;

    struct Opened {
        QString target;
        QString workingFolder;
    };

    QString programFolder() const override { return folder; }
    QString executableFileName() const override { return ownName.isEmpty() ? SystemPlatform::executableFileName() : ownName; }
    void shellOpenFile(QWidget* owner, const QString& fileName, const QString& workingFolder) override;
    void shellOpenHeldFile(QWidget* owner, int fd, const QString& fileName, const QString& workingFolder) override;
    void shellOpenUrl(QWidget* owner, const QString& url) override;
    void showInformation(QWidget* owner, const QString& text) override;
    void showWarning(QWidget* owner, const QString& text) override;
    bool inputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) override;
    bool deleteFile(const QString& path) override;
    bool fileExists(const QString& path) const override;
    QStringList findFiles(const QString& folder, const QString& mask) const override;
    QString findFirstFile(const QString& folder, const QString& mask) const override;
    PublisherCheck checkPublisherSignature(int fd, const QString& path, const Publisher& publisher) const override;

    // Writes a file into the program folder (sub-folders created as needed).
    void writeFile(const QString& relativePath, const QByteArray& content) const;
    bool has(const QString& relativePath) const;
    QByteArray read(const QString& relativePath) const;

    QTemporaryDir dir;
    QString folder; // with its trailing separator
    QString ownName; // the executable's name as the program sees it; empty: the real one
    QList<Opened> opened;
    QStringList informations, warnings;
    std::function<void()> onInformation; // runs while the message box would be up
    QSet<QString> undeletable;           // names whose deletion silently fails
    QSet<QString> vanished;              // names reported missing, as if removed behind our back
    QSet<QString> deleteRaises;          // names whose deletion raises an error
    // The input box's answer: the text typed and OK, or nullopt for Cancel.
    std::optional<QString> inputAnswer;
    QStringList inputPrompts; // caption + "|" + prompt of each input box
    QStringList deletions;               // names asked to be deleted, in order
    bool openFails = false;              // shell "open" raises, as a broken shell might
    mutable int findCalls = 0;
    // Code-signature checks: each asked as "name|publisher"; the answer, when scripted,
    // replaces the system's (on Linux NotApplicable).
    mutable QStringList publisherChecks;
    std::optional<PublisherCheck> publisherCheckAnswer;
};

// Installs a RecordingPlatform for the lifetime of a test.
struct PlatformScope {
    RecordingPlatform platform;
    PlatformScope() { Platform::setCurrent(&platform); }
    ~PlatformScope() { Platform::setCurrent(nullptr); }
};
