#pragma once

#include "dialog.h"

namespace toolkit {

// Shows the product data of the running Application: icon, display name,
// version, description, home page and acknowledgements.
class AboutDialog : public Dialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};

} // namespace toolkit
