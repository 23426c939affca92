#include "tests/help_file.h"
#include "tests/part_folder.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

const QString kMissing = QStringLiteral("ERROR : Help file is missing ! Please reinstall application");

QPlainTextEdit *helpText(const frm_help &window)
{
    return window.findChild<QPlainTextEdit *>(QStringLiteral("hlp_text"));
}

} // namespace

class TestFrmHelp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // What an interrupted run left, unless the link test below wrote it.
        if (qEnvironmentVariableIsEmpty("MORVANE_HELP_WRITTEN"))
            HelpFile::remove();
    }

    void showsTheHelpText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF lines") << QByteArray("First\r\nSecond\r\n\r\nFourth\r\n") << "First\nSecond\n\nFourth\n";
        QTest::newRow("LF and lone CR") << QByteArray("a\nb\rc") << "a\nb\nc";
        QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9");
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void showsTheHelpText()
    {
        QFETCH(QByteArray, bytes);
        HelpFile help;
        help.write(bytes);
        const frm_help window;
        QTEST(helpText(window)->toPlainText(), "shown");
        QVERIFY(!window.helpFileMissing() && window.loadError().isEmpty() && window.helpStreamOpen());
    }

    void longTextScrolls()
    {
        HelpFile help;
        QByteArray bytes;
        for (int i = 0; i < 300; ++i)
            bytes += "Line " + QByteArray::number(i)
                + " of a help text long enough to wrap at a word boundary "
                  "at the edge of the box.\r\n";
        help.write(bytes);
        frm_help window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit *text = helpText(window);
        QCOMPARE(text->document()->blockCount(), 301);
        QVERIFY(text->verticalScrollBar()->isVisible() && text->verticalScrollBar()->maximum() > 0);
        QVERIFY(!text->horizontalScrollBar()->isVisible());
    }

    void missingOrUnreadable()
    {
        PartFolder current;
        current.write("Morvanehlp.txt", "help in the current folder does not count");
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(current.path()));
        const frm_help missing;
        QDir::setCurrent(before);
        QCOMPARE(helpText(missing)->toPlainText(), kMissing);
        QVERIFY(missing.helpFileMissing() && !missing.helpStreamOpen());

        HelpFile help;
        help.makeUnreadable();
        const frm_help unreadable;
        QVERIFY(!unreadable.helpFileMissing() && !unreadable.helpStreamOpen());
        QVERIFY2(unreadable.loadError().contains(QDir::toNativeSeparators(frm_help::helpFilePath())),
                 qPrintable(unreadable.loadError()));
    }

    void typingChangesNothing()
    {
        HelpFile help;
        help.write("Stay as you are\r\n");
        frm_help window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), helpText(window));
        QTest::keyClicks(helpText(window), "typed");
        for (const auto &[key, modifiers] : {std::pair{Qt::Key_Backspace, Qt::NoModifier},
                                             {Qt::Key_Delete, Qt::NoModifier},
                                             {Qt::Key_A, Qt::ControlModifier},
                                             {Qt::Key_X, Qt::ControlModifier}})
            QTest::keyClick(helpText(window), key, modifiers);
        QCOMPARE(helpText(window)->toPlainText(), QStringLiteral("Stay as you are\n"));
    }

    void streamClosedHoweverTheWindowCloses_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"Close button", "Alt+C", "Escape", "close box"})
            QTest::newRow(how) << how;
    }

    void streamClosedHoweverTheWindowCloses()
    {
        QFETCH(QString, how);
        HelpFile help;
        help.write("Help\r\n");
        QPointer<frm_help> window = new frm_help;
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->helpStreamOpen());
        if (how == "Close button")
            window->findChild<QPushButton *>("Command1")->click();
        else if (how == "Alt+C")
            QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
        else if (how == "Escape")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            window->close();
        QTRY_VERIFY(!window || !window->isVisible());
        QVERIFY(!window || !window->helpStreamOpen());
        QTRY_VERIFY(!window); // gone, so the next Help loads a new one
    }

    // The command on the PATH is a link to the program in its own folder: the
    // help must be found beside the program, not beside the link. The child
    // runs this same program through a link, for the one check below.
    void findsTheHelpWhenStartedThroughALink()
    {
        if (!qEnvironmentVariableIsEmpty("MORVANE_HELP_WRITTEN")) {
            QCOMPARE(helpText(frm_help())->toPlainText(), QStringLiteral("Beside the program\n"));
            return;
        }
        HelpFile help;
        help.write("Beside the program\r\n");
        PartFolder elsewhere;
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), elsewhere.file("morvane")));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MORVANE_HELP_WRITTEN", "1");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(environment);
        child.start(elsewhere.file("morvane"), {"findsTheHelpWhenStartedThroughALink"});
        QVERIFY(child.waitForFinished(30000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAllStandardOutput());
    }
};

QTEST_MAIN(TestFrmHelp)
#include "tst_frm_help.moc"
