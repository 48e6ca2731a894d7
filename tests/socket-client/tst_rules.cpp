// The message and file-name rules of the socket client, without sockets.
#include "clientresources.h"
#include "protocol.h"

#include <QTest>
#include <QTextCodec>

class RulesTest : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void spooledName_data();
    void spooledName();
    void plainFileName_data();
    void plainFileName();
    void initialGeometry();
};

void RulesTest::replies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("names");
    const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("2##财务打印机##Say \"hi\"##"));
    const QStringList none;
    QTest::newRow("trailing separator") << QByteArray("2##A##B##") << 2
                                        << QStringList{QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("last name dropped") << QByteArray("2##A") << 2 << none;
    QTest::newRow("code alone") << QByteArray("2") << 2 << none;
    QTest::newRow("empty name kept") << QByteArray("2####B##") << 2 << QStringList{QString(), QStringLiteral("B")};
    QTest::newRow("GBK") << gbk << 2 << QStringList{QStringLiteral("财务打印机"), QStringLiteral("Say \"hi\"")};
    QTest::newRow("fields") << QByteArray("13##a.pdf") << 13 << none;
    QTest::newRow("up to NUL") << QByteArray("6\0" "5", 3) << 6 << none;
    QTest::newRow("no number") << QByteArray("ok") << 0 << none;
    QTest::newRow("merged") << QByteArray("813##a.pdf") << 813 << none;
}

// A reply's code, and the printer names when it is a printer list.
void RulesTest::replies()
{
    QFETCH(QByteArray, reply);
    QTEST(protocol::replyCode(reply), "code");
    QTEST(protocol::printerList(reply), "names");
}

void RulesTest::spooledName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("pdfName");
    const auto row = [](const char *tag, const QString &line) {
        const QStringList values = line.split(QLatin1Char(' '));
        QTest::newRow(tag) << values[0] << values[1] << values[2] << values[3] << values[4];
    };
    row("usual", QStringLiteral("7_0_report.docx_0_Office.pdf 7 report.docx Office report7.pdf"));
    row("dots in document", QStringLiteral("12_0_a.b.c_0_P.pdf 12 a.b.c P a.b12.pdf"));
    row("no separator", QStringLiteral("plain.pdf plain.pdf   plain.pdf.pdf"));
    row("every .pdf removed", QStringLiteral("3_0_x.pdf_0_my.pdf.pdf 3 x.pdf my x3.pdf"));
}

void RulesTest::spooledName()
{
    QFETCH(QString, fileName);
    const protocol::SpooledName name = protocol::parseSpooledName(fileName);
    QTEST(name.jobTag, "tag");
    QTEST(name.documentName, "document");
    QTEST(name.printerName, "printer");
    QTEST(protocol::pdfName(name.documentName, name.jobTag), "pdfName");
}

void RulesTest::plainFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("job") << QStringLiteral("7_0_a_0_b.pdf") << true;
    QTest::newRow("dots inside") << QStringLiteral("..x") << true;
    QTest::newRow("empty") << QStringLiteral("") << false;
    QTest::newRow("dot") << QStringLiteral(".") << false;
    QTest::newRow("dot dot") << QStringLiteral("..") << false;
    QTest::newRow("up") << QStringLiteral("../../home/user/x") << false;
    QTest::newRow("subfolder") << QStringLiteral("a/b") << false;
}

void RulesTest::plainFileName()
{
    QFETCH(QString, name);
    QTEST(protocol::isPlainFileName(name), "plain");
}

void RulesTest::initialGeometry()
{
    QCOMPARE(::initialGeometry(QSize(1280, 800)), QRect(390, 225, 500, 350));
    QCOMPARE(::initialGeometry(QSize(400, 300)), QRect(-50, -25, 500, 350));
}

QTEST_GUILESS_MAIN(RulesTest)
#include "tst_rules.moc"
