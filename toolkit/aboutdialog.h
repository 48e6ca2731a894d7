#pragma once

#include "dialog.h"

namespace toolkit {

class Application;

// Shows the product data of the running Application: icon, display name,
// version, description, home page and acknowledgements.
class AboutDialog : public Dialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);

private:
    void addLinksAndDescription(const Application &app);
};

} // namespace toolkit
