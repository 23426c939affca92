#include "tests/help_file.h"
#include "tests/part_folder.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>

namespace {

QString shownText(const frm_help &window) { return window.findChild<QPlainTextEdit *>()->toPlainText(); }

} // namespace

class TestFrmHelp : public QObject {
    Q_OBJECT

private slots:
    void showsTheHelpText_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF lines") << true << QByteArray("First\r\nSecond\r\n\r\nFourth\r\n")
                                     << "First\nSecond\n\nFourth\n";
        QTest::newRow("LF and lone CR") << true << QByteArray("a\nb\rc") << "a\nb\nc";
        QTest::newRow("Latin-1") << true << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9");
        QTest::newRow("UTF-8") << true << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9");
        QTest::newRow("empty") << true << QByteArray() << QString();
        QTest::newRow("missing") << false << QByteArray()
                                 << "ERROR : Help file is missing ! Please reinstall application";
    }
    void showsTheHelpText()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, bytes);
        HelpFile help;
        present ? help.write(bytes) : help.remove();
        PartFolder current; // a help file there does not count
        current.write("Morvanehlp.txt", "help beside the parts");
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(current.path()));
        const frm_help window;
        QDir::setCurrent(before);
        QTEST(shownText(window), "shown");
        QCOMPARE(window.loadError(), QString());
    }

    // The command on the PATH is a link to the program in its own folder: the
    // help is found beside the program, not beside the link. The child runs
    // this same test program through a link.
    void findsTheHelpWhenStartedThroughALink()
    {
        if (qEnvironmentVariableIsSet("MORVANE_HELP_WRITTEN")) {
            QCOMPARE(shownText(frm_help()), QStringLiteral("Beside the program\n"));
            return;
        }
        HelpFile help;
        help.write("Beside the program\r\n");
        PartFolder elsewhere;
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), elsewhere.file("morvane")));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MORVANE_HELP_WRITTEN", "1");
        child.setProcessEnvironment(environment);
        child.start(elsewhere.file("morvane"), {"findsTheHelpWhenStartedThroughALink"});
        QVERIFY(child.waitForFinished(30000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAllStandardOutput());
    }
};

QTEST_MAIN(TestFrmHelp)
#include "tst_frm_help.moc"
