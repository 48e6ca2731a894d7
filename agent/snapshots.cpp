// Renders the agent's one window, the code dialog, to PNG files in English
// and in Chinese, on whatever platform Qt runs on (offscreen in tests):
//     agent-snapshots <output folder>
#include "application.h"
#include "authcodeinputdialog.h"

#include <QDir>
#include <QLocale>

#include <cstdio>

namespace {

bool render(const QString &file)
{
    AuthcodeInputDialog dialog;
    dialog.setAttribute(Qt::WA_DontShowOnScreen);
    dialog.setAddress(QStringLiteral("tqp://10.0.0.5:9100"));
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    if (!dialog.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    toolkit::Application app(argc, argv);
    // As in the agent: the configurator's name, and so its catalogue.
    QCoreApplication::setApplicationName(QStringLiteral("quorvia-cloud-print-configurator"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = render(folder + QStringLiteral("/code-dialog.png"));
    ok = app.loadTranslator({QLocale(QStringLiteral("zh_CN"))}) && ok;
    ok = render(folder + QStringLiteral("/code-dialog-zh_CN.png")) && ok;
    return ok ? 0 : 1;
}
