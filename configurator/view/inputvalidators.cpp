#include "inputvalidators.h"

#include <QRegularExpressionValidator>

const QRegularExpression &ipv4Expression()
{
    static const QRegularExpression expression(QStringLiteral("^(1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|[1-9])\\."
                                                              "(1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|\\d)\\."
                                                              "(1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|\\d)\\."
                                                              "(1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|\\d)$"));
    return expression;
}

bool isIpv4Address(const QString &text)
{
    return !text.isEmpty() && ipv4Expression().match(text).hasMatch();
}

QValidator *createIpValidator(QObject *parent)
{
    return new QRegularExpressionValidator(ipv4Expression(), parent);
}

QValidator *createAuthcodeValidator(QObject *parent)
{
    // CJK unified ideographs, CJK compatibility ideographs and the space.
    static const QRegularExpression expression(QStringLiteral("[^\\x{4E00}-\\x{9FA5}\\x{F900}-\\x{FA2D}\\x{0020}]*"));
    return new QRegularExpressionValidator(expression, parent);
}
