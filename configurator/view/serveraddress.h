#pragma once

#include <QString>
#include <QUrl>

// Scheme of cloud print server URLs ("tqp").
extern const QString urlScheme;

// Turns a typed address ("10.0.0.5", "10.0.0.5:9200") or a saved server URL
// into a URL with the scheme and a port, the cloud port when none is given.
QUrl formatAddress(const QString &address);

// Scheme, host and port of the URL only; user information, path, query and
// fragment are dropped.
QUrl serverAddress(const QUrl &url);
