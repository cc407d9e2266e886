#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Turning the system's proxy settings into what the HTTP library takes. On Windows the
// settings come from the user's Internet options (WinHTTP): a proxy list such as
// "proxy:8080", "http=a:80;https=b:8443" or a proxy auto-configuration result such as
// "PROXY a:80; PROXY b:8080; DIRECT", and a bypass list such as "<local>;*.corp.example".
struct ProxyChoice {
    bool direct = true; // no proxy for this address
    QString proxy;      // "http://host:port" (or "socks4://..."), when not direct
};

// The proxy an https request to `host` goes through: the first usable entry of the list
// (an "https=" entry before an entry for every scheme), or direct when the list is empty,
// says DIRECT first, or the host is on the bypass list.
ProxyChoice chooseProxy(const QString& proxyList, const QString& bypassList, const QString& host);

// Whether `host` matches the bypass list: exact names, "*" wildcards, and "<local>" for
// names without a dot.
bool bypassesProxy(const QString& bypassList, const QString& host);

// One answer of the system's automatic proxy configuration (on Windows WinHttpGetProxyForUrl).
struct AutoProxyAnswer {
    bool ok = false;
    unsigned long error = 0; // the system's error code when not ok
    QString proxy;           // a proxy list, or "DIRECT"
    QString bypass;
};

// The system's code for "the host that serves the configuration wants a login"
// (ERROR_WINHTTP_LOGIN_FAILURE).
constexpr unsigned long kAutoProxyLoginNeeded = 12015;

// Asks for the automatic configuration without the user's Windows login first: any machine
// on the local network can pose as the host that serves it. Only when that host says it
// wants a login is the question asked once more with the login.
AutoProxyAnswer askAutoProxy(const std::function<AutoProxyAnswer(bool sendLogin)>& ask);

// The proxy the system's settings give for an https address, in the HTTP library's form:
// nothing when the system leaves it to the library (Linux: the https_proxy and no_proxy
// variables), an empty text for no proxy, or the proxy's address. On Windows it reads the
// user's Internet settings, automatic configuration included.
std::optional<QString> systemProxyFor(const QString& url);

// The proxy settings the HTTP library may be using, as they were given, user name and
// password included: on Linux the variables it reads itself, on Windows what systemProxyFor
// has handed out in this run. For leaving them out of what is written down.
QStringList configuredProxySettings();
