#include "ProxyConfig.h"

#include "SystemPlatform.h"

#include <QStringList>

// No regular expressions here: this runs on the transfer's thread, and Qt's expression
// engine keeps per-thread state that a thread Qt did not start may free wrongly on exit.
namespace {
QStringList entries(const QString& list) {
    QStringList result;
    QString entry;
    for (const QChar c : list) {
        if (c == u';' || c.isSpace()) {
            if (!entry.isEmpty())
                result << entry;
            entry.clear();
        } else {
            entry += c;
        }
    }
    if (!entry.isEmpty())
        result << entry;
    return result;
}

QString withScheme(const QString& address, const QString& scheme) {
    return address.contains(QLatin1String("://")) ? address : scheme + QStringLiteral("://") + address;
}

} // namespace

bool bypassesProxy(const QString& bypassList, const QString& host) {
    for (const QString& pattern : entries(bypassList)) {
        if (pattern.compare(QLatin1String("<local>"), Qt::CaseInsensitive) == 0) {
            if (!host.contains(u'.') || host == QLatin1String("127.0.0.1") || host == QLatin1String("::1"))
                return true;
            continue;
        }
        if (matchesWildcard(host, pattern))
            return true;
    }
    return false;
}

AutoProxyAnswer askAutoProxy(const std::function<AutoProxyAnswer(bool sendLogin)>& ask) {
    const AutoProxyAnswer first = ask(false);
    if (first.ok || first.error != kAutoProxyLoginNeeded)
        return first;
    return ask(true);
}

ProxyChoice chooseProxy(const QString& proxyList, const QString& bypassList, const QString& host) {
    ProxyChoice choice;
    if (bypassesProxy(bypassList, host))
        return choice;
    // A PAC result: "PROXY a:80; SOCKS b:1080; DIRECT", taken in order.
    const QStringList parts = proxyList.split(u';', Qt::SkipEmptyParts);
    bool pacStyle = false;
    for (const QString& part : parts) {
        const QStringList words = part.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString kind = words[0].toUpper();
        if (kind == QLatin1String("DIRECT") || kind == QLatin1String("PROXY") || kind == QLatin1String("SOCKS")) {
            pacStyle = true;
            if (kind == QLatin1String("DIRECT"))
                return choice;
            if (words.size() >= 2) {
                choice.direct = false;
                choice.proxy = withScheme(words[1], kind == QLatin1String("SOCKS") ? QStringLiteral("socks4")
                                                                                      : QStringLiteral("http"));
                return choice;
            }
        }
    }
    if (pacStyle)
        return choice;
    // A WinHTTP list: "https=" first, then an entry for every scheme.
    QString any;
    for (const QString& entry : entries(proxyList)) {
        const int equals = entry.indexOf(u'=');
        if (equals < 0) {
            if (any.isEmpty())
                any = entry;
            continue;
        }
        if (entry.left(equals).compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 && equals + 1 < entry.size()) {
            choice.direct = false;
            choice.proxy = withScheme(entry.mid(equals + 1), QStringLiteral("http"));
            return choice;
        }
    }
    if (!any.isEmpty()) {
        choice.direct = false;
        choice.proxy = withScheme(any, QStringLiteral("http"));
    }
    return choice;
}
