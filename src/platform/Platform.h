#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

// What the windows need from the operating system, in one small interface.
// The program uses Platform::current(); tests install a recording double.
class Platform {
public:
    virtual ~Platform() = default;

    static Platform& current();
    // Installs a replacement (tests); nullptr goes back to the system's implementation.
    static void setCurrent(Platform* platform);

    // Folder of the running executable, ending in the native path separator.
    virtual QString programFolder() const = 0;
    // File name of the running executable, without its folder.
    virtual QString executableFileName() const = 0;

    // Shell "open": start a file with a working folder, without waiting for it.
    virtual void shellOpenFile(QWidget* owner, const QString& fileName, const QString& workingFolder) = 0;
    // The same for a file of the working folder that this run holds open as `fd`: what
    // starts is that file, whatever anyone does to its name meanwhile.
    virtual void shellOpenHeldFile(QWidget* owner, int fd, const QString& fileName, const QString& workingFolder) = 0;
    // Shell "open" of a web address: the user's browser takes it.
    virtual void shellOpenUrl(QWidget* owner, const QString& url) = 0;

    // The system's standard message boxes, each with a single OK button; modal.
    virtual void showInformation(QWidget* owner, const QString& text) = 0;
    virtual void showWarning(QWidget* owner, const QString& text) = 0;
    // Modal one-line input box; returns whether OK was pressed.
    virtual bool inputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) = 0;

    // Plain text onto the clipboard; failures are silent.
    virtual void setClipboardText(const QString& text) = 0;
    // Plain text together with a rich (HTML) form of the same text; failures are silent.
    virtual void setClipboardContent(const QString& text, const QString& html) = 0;

    virtual QSize primaryScreenSize() const = 0;
    virtual QRect workArea() const = 0;
    // The work area of the monitor that holds the most of `window` (the nearest one when
    // it lies on none); the primary screen's when there are no screens to ask.
    virtual QRect workAreaOf(const QRect& window) const = 0;

    // File system. Deleting reports success; a file that cannot be removed is not an error.
    virtual bool fileExists(const QString& path) const = 0;
    virtual bool deleteFile(const QString& path) = 0;
    // Names of the ordinary files in folder matching a wildcard mask ("*" and "?", case-insensitive),
    // in a stable order. Folders, hidden and system files never match.
    virtual QStringList findFiles(const QString& folder, const QString& mask) const = 0;
    // The first name findFiles would give, or an empty text; without listing the whole folder.
    virtual QString findFirstFile(const QString& folder, const QString& mask) const = 0;

    // Who must have signed a program: its signer's subject, each part compared exactly.
    struct Publisher {
        QString name;         // common name (CN), the name the system shows
        QString organisation; // O
        QString locality;     // L
        QString country;      // C, two letters
    };
    // Whether the program open as `fd` (named `path`) carries a valid code signature
    // (Windows: Authenticode, through WinVerifyTrust, read through that very handle) whose
    // signer's subject is the publisher's. NotApplicable where the system has no such
    // signatures (Linux); only Invalid fails.
    enum class PublisherCheck { Valid, NotApplicable, Invalid };
    virtual PublisherCheck checkPublisherSignature(int fd, const QString& path, const Publisher& publisher) const = 0;
};

// The implementation for the system the program was built for.
Platform* createSystemPlatform();
