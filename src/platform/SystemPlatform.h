#pragma once

#include "Platform.h"
#include "Wildcard.h"

#include <QList>
#include <QPair>

// The real services: Qt's message boxes, input box, clipboard and screens, and the
// operating system's shell and file search.
class SystemPlatform : public Platform {
public:
    QString programFolder() const override;
    QString executableFileName() const override;
    void shellOpenFile(QWidget* owner, const QString& fileName, const QString& workingFolder) override;
    void shellOpenHeldFile(QWidget* owner, int fd, const QString& fileName, const QString& workingFolder) override;
    void shellOpenUrl(QWidget* owner, const QString& url) override;
    void showInformation(QWidget* owner, const QString& text) override;
    void showWarning(QWidget* owner, const QString& text) override;
    bool inputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) override;
    void setClipboardText(const QString& text) override;
    void setClipboardContent(const QString& text, const QString& html) override;
    QSize primaryScreenSize() const override;
    QRect workArea() const override;
    QRect workAreaOf(const QRect& window) const override;
    bool fileExists(const QString& path) const override;
    bool deleteFile(const QString& path) override;
    QStringList findFiles(const QString& folder, const QString& mask) const override;
    QString findFirstFile(const QString& folder, const QString& mask) const override;
    PublisherCheck checkPublisherSignature(int fd, const QString& path, const Publisher& publisher) const override;
};

// Whether a signer's subject, as (attribute, value) pairs in the certificate's order with
// attributes named "CN", "O", "L", "C" (any other as it comes), is the publisher's: each of
// the four exactly once and exactly equal. A look-alike (another organisation under the same
// name, a second O, a trailing blank) is not.
bool subjectIsPublisher(const QList<QPair<QString, QString>>& subject, const Platform::Publisher& publisher);

// The order of a folder search where the system gives none: by name ignoring ASCII case,
// ties broken by the exact name.
bool precedesInSearch(const QString& a, const QString& b);

// Ends the folder with the native separator if it does not end in one already.
QString withTrailingSeparator(const QString& folder);

// Whether the server certificate of an established Schannel session (`session`, the
// library's CtxtHandle) chains to a root the system trusts and names `host`, judged by the
// system's own SSL policy; on failure *why says what failed. Always true where the system
// has no such store (Linux): there the TLS library checks against its CA files.
bool systemTrustsServer(void* session, const QString& host, QString* why);
