#include "fetch/TlsTrust.h"

#include <QList>

namespace Tls {

QString activeLibrary(const QByteArray& versionText) {
    for (const QByteArray& entry : versionText.split(' '))
        if (!entry.isEmpty() && !entry.startsWith('('))
            return QString::fromLatin1(entry);
    return {};
}

namespace {
Library libraryOf(const QString& name) {
    const QString family = name.section(u'/', 0, 0);
    const auto is = [&](const char* n) { return family.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; };
    if (family.isEmpty())
        return Library::None;
    if (is("Schannel"))
        return Library::Schannel;
    // OpenSSL and the forks that report their own name share its handling of the system store.
    if (is("OpenSSL") || is("LibreSSL") || is("BoringSSL") || is("quictls") || is("AWS-LC"))
        return Library::OpenSsl;
    if (is("wolfSSL"))
        return Library::WolfSsl;
    if (is("GnuTLS"))
        return Library::GnuTls;
    return Library::Other;
}
} // namespace

Trust decideTrust(bool windows, Selection selection, const QByteArray& versionText, unsigned curlVersion) {
    Trust t;
    t.libraryName = activeLibrary(versionText);
    t.library = selection == Selection::NoTls ? Library::None : libraryOf(t.libraryName);
    if (t.library == Library::None) {
        t.problem = QStringLiteral("The HTTP library was built without TLS");
        return t;
    }
    // The system's store where the library can reach it: OpenSSL on Windows since 7.71.0,
    // wolfSSL since 8.3.0, GnuTLS since 8.5.0.
    const bool nativeCaSupported = (t.library == Library::OpenSsl && windows && curlVersion >= 0x074700) ||
                                   (t.library == Library::WolfSsl && curlVersion >= 0x080300) ||
                                   (t.library == Library::GnuTls && curlVersion >= 0x080500);
    if (!windows) {
        // Linux: the CA bundle and folder compiled in are the system's own, root-owned.
        t.usable = true;
        t.nativeCa = nativeCaSupported;
        t.systemCaFolder = t.library == Library::OpenSsl;
        return t;
    }
    // Windows: a compiled-in CA path may not exist, or may be one a standard user can create.
    t.noBuiltInCaPaths = true;
    if (t.library == Library::Schannel) {
        t.usable = true; // verifies against the system's store once no CA file is set
    } else if (nativeCaSupported) {
        t.usable = true;
        t.nativeCa = true;
    } else {
        t.problem = QStringLiteral("The HTTP library cannot reach the system's certificate store with %1")
                        .arg(t.libraryName);
    }
    return t;
}

} // namespace Tls
