#pragma once

#include <QApplication>
#include <QIcon>
#include <QList>
#include <QLocale>
#include <QString>

class SingleInstance;

namespace toolkit {

// The program's application object: single-instance claim, translations and
// the product data shown in the about dialog.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);
    ~Application() override;

    static Application *instance();

    // Claims the key for this user. False when another process of the same
    // user holds it.
    bool setSingleInstance(const QString &key);
    // The claim made by setSingleInstance, or null before it.
    SingleInstance *singleInstance() const;

    // Loads Qt's, the toolkit's and the program's catalogues (the program's
    // from ":/translations/<application name>_<locale>.qm") for the first
    // locale that has a program catalogue. True when one was found.
    bool loadTranslator(const QList<QLocale> &locales);

    void setProductIcon(const QIcon &icon);
    QIcon productIcon() const;
    void setApplicationDescription(const QString &description);
    QString applicationDescription() const;
    void setApplicationHomePage(const QString &url);
    QString applicationHomePage() const;
    void setApplicationAcknowledgementPage(const QString &url);
    QString applicationAcknowledgementPage() const;

private:
    SingleInstance *m_singleInstance = nullptr;
    QIcon m_productIcon;
    QString m_description;
    QString m_homePage;
    QString m_acknowledgementPage;
};

} // namespace toolkit
