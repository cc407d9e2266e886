#pragma once

#include <QByteArray>
#include <QString>

// How HTTPS transfers come to trust a server: decided once, from what the HTTP library
// reports about the TLS library it runs on. A plain function, so that every combination can
// be checked without that library.
namespace Tls {

// What asking the HTTP library for our preferred TLS library before it started gave.
enum class Selection {
    Chosen,       // one of ours was taken
    NotAvailable, // none of ours is built in; the library picks by itself
    TooLate,      // the library had started already and keeps what it has
    NoTls,        // built without any TLS library
};

enum class Library { None, Schannel, OpenSsl, WolfSsl, GnuTls, Other };

struct Trust {
    bool usable = false; // false: every transfer is refused with `problem`
    Library library = Library::None;
    QString libraryName;           // as reported, "OpenSSL/3.0.19"
    bool nativeCa = false;         // ask the TLS library for the system's certificate store
    bool noBuiltInCaPaths = false; // clear the CA file and folder compiled into the library
    bool systemCaFolder = false;   // the system's hashed CA folder (Linux)
    QString problem;
};

// The active entry of the library's TLS text: the one not in parentheses
// ("OpenSSL/3.1.4 (Schannel)" and "(Schannel) OpenSSL/3.1.4" are both OpenSSL).
QString activeLibrary(const QByteArray& versionText);

// The decision. curlVersion is the library's version number (0x075800 for 7.88.0).
Trust decideTrust(bool windows, Selection selection, const QByteArray& versionText, unsigned curlVersion);

} // namespace Tls
