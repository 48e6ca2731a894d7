#pragma once

#include <QRegularExpression>

class QObject;
class QValidator;

// Four dot-separated decimal octets without leading zeros; the first 1-255,
// the others 0-255.
const QRegularExpression &ipv4Expression();

// True when the text holds an IPv4 address of that form.
bool isIpv4Address(const QString &text);

// Accepts prefixes of such an address while it is typed.
QValidator *createIpValidator(QObject *parent);

// Refuses spaces and CJK ideographs in an authorization code.
QValidator *createAuthcodeValidator(QObject *parent);
