#pragma once

#include "dialog.h"

#include <QScopedPointer>

class AuthcodeInputDialogPrivate;

// Asks the user for a new authorization code for a server whose saved code
// the cloud print server refused. "Print" saves the typed code to the user's
// server list; "Cancel" saves nothing. One dialog is reused for every
// request, so it keeps the text typed last time.
class AuthcodeInputDialog : public toolkit::Dialog
{
    Q_OBJECT

public:
    enum Button { CancelButton = 0, PrintButton = 1 };

    explicit AuthcodeInputDialog(QWidget *parent = nullptr);
    ~AuthcodeInputDialog() override;

    // The code of the last "Print" (as typed), or empty after "Cancel".
    QString authcode() const;

public slots:
    void setAddress(const QString &addr);
    void handleButtonsClicked(int index, const QString &text);

private:
    QScopedPointer<AuthcodeInputDialogPrivate> d;
};
