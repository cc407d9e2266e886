#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The local HTTPS site (tools/testsite) on a loopback port, with its own CA, serving a
// temporary folder. Points the program's maker site and CA file at itself while it lives.
class TestSite {
public:
    TestSite();
    ~TestSite();

    bool isReady() const { return m_httpsPort > 0; }
    QString base() const;                   // https://localhost:PORT
    QString url(const QString& path) const; // base() + path
    // The same site behind a certificate from the same CA for another host name.
    QString wrongNameUrl(const QString& path) const;
    // The same site on a listener that speaks TLS 1.1 and nothing newer.
    QString tls11Url(const QString& path) const;
    QString caFile() const { return m_caFile; }
    int plainHttpRequests() const;
    // Puts a file into the site's download folder.
    void publish(const QString& name, const QByteArray& content) const;
    void unpublish(const QString& name) const;
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_certs;
    QProcess m_process;
    void* m_alive = nullptr; // Windows: the file whose closing ends the site
    int m_httpsPort = 0;
    int m_wrongNamePort = 0;
    int m_tls11Port = 0;
    QString m_caFile;
};

// Fetches a URL's body with the program's own transfer (used to ask the site questions).
QByteArray fetchBody(const QString& url, const QString& caFile);
