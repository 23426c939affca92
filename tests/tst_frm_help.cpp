#include "help_file.h"
#include "part_folder.h"
#include "twips.h"

#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <optional>

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
    void initTestCase();
    void showsTheWholeHelpText_data();
    void showsTheWholeHelpText();
    void longTextScrolls();
    void missingFile();
    void helpInTheCurrentFolderOnlyCountsAsMissing();
    void unreadableFileIsAnError();
    void typingChangesNothing();
    void streamClosedHoweverTheWindowCloses_data();
    void streamClosedHoweverTheWindowCloses();
    void layout();
    void readsTheHelpBesideTheProgram();
    void findsTheHelpWhenStartedThroughALink();
};

void TestFrmHelp::initTestCase()
{
    // What an interrupted run may have left, unless the link test below
    // wrote it for this run.
    if (qEnvironmentVariableIsEmpty("MORVANE_HELP_WRITTEN"))
        HelpFile::remove();
}

void TestFrmHelp::showsTheWholeHelpText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR LF lines") << QByteArray("First line\r\nSecond line\r\n\r\nFourth\r\n")
                                 << QStringLiteral("First line\nSecond line\n\nFourth\n");
    QTest::newRow("LF lines") << QByteArray("a\nb") << QStringLiteral("a\nb");
    QTest::newRow("lone CR") << QByteArray("a\rb") << QStringLiteral("a\nb");
    QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9");
    QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestFrmHelp::showsTheWholeHelpText()
{
    HelpFile help;
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    help.write(bytes);
    frm_help window;
    QCOMPARE(helpText(window)->toPlainText(), shown);
    QVERIFY(!window.helpFileMissing());
    QVERIFY(window.loadError().isEmpty());
    QVERIFY(window.helpStreamOpen());
}

void TestFrmHelp::longTextScrolls()
{
    HelpFile help;
    QByteArray bytes;
    for (int i = 0; i < 300; ++i)
        bytes += "Line " + QByteArray::number(i) + " of a help text long enough to wrap at the edge of the box, "
                 "which it must do at a word boundary.\r\n";
    help.write(bytes);
    frm_help window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPlainTextEdit *text = helpText(window);
    QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(text->verticalScrollBar()->maximum() > 0);
    QCOMPARE(text->document()->blockCount(), 301);
    QVERIFY(text->toPlainText().startsWith("Line 0 of a help text"));
    QVERIFY(text->toPlainText().contains("Line 299 of a help text"));
}

void TestFrmHelp::missingFile()
{
    frm_help window;
    QCOMPARE(helpText(window)->toPlainText(), kMissing);
    QVERIFY(window.helpFileMissing());
    QVERIFY(!window.helpStreamOpen());
    window.show();
    window.findChild<QPushButton *>("Command1")->click();
    QVERIFY(!window.isVisible());
}

void TestFrmHelp::helpInTheCurrentFolderOnlyCountsAsMissing()
{
    PartFolder folder;
    folder.write("Morvanehlp.txt", "help in the wrong place");
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    frm_help window;
    QDir::setCurrent(before);
    QCOMPARE(helpText(window)->toPlainText(), kMissing);
}

void TestFrmHelp::unreadableFileIsAnError()
{
    HelpFile help;
    help.makeUnreadable();
    frm_help window;
    QVERIFY(!window.helpFileMissing());
    QVERIFY(!window.helpStreamOpen());
    QVERIFY2(window.loadError().contains(QDir::toNativeSeparators(frm_help::helpFilePath())),
             qPrintable(window.loadError()));
}

void TestFrmHelp::typingChangesNothing()
{
    HelpFile help;
    help.write("Stay as you are\r\n");
    frm_help window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QPlainTextEdit *text = helpText(window);
    QCOMPARE(QApplication::focusWidget(), text);
    QTest::keyClicks(text, "typed");
    QTest::keyClick(text, Qt::Key_Backspace);
    QTest::keyClick(text, Qt::Key_Delete);
    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(text->toPlainText(), QStringLiteral("Stay as you are\n"));
    QVERIFY(window.isVisible());
}

void TestFrmHelp::streamClosedHoweverTheWindowCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close button") << "button";
    QTest::newRow("access key") << "alt+c";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close box";
}

void TestFrmHelp::streamClosedHoweverTheWindowCloses()
{
    HelpFile help;
    QFETCH(QString, how);
    help.write("Help\r\n");
    QPointer<frm_help> window = new frm_help;
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(window->helpStreamOpen());
    if (how == "button")
        window->findChild<QPushButton *>("Command1")->click();
    else if (how == "alt+c")
        QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
    else if (how == "escape")
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else
        window->close();
    QTRY_VERIFY(!window || !window->isVisible());
    if (window)
        QVERIFY(!window->helpStreamOpen());
    // The window goes once closed, so the next Help press loads it anew.
    QTRY_VERIFY(!window);
}

void TestFrmHelp::layout()
{
    HelpFile help;
    help.write("Help\r\n");
    frm_help window;
    QCOMPARE(window.windowTitle(), QStringLiteral("AF99 Morvane Part Application 1.1 : Help"));
    QCOMPARE(window.size(), QSize(twips(9645), twips(9405)));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.palette().color(QPalette::Window), QColor(0, 0, 255));
    QPlainTextEdit *text = helpText(window);
    QCOMPARE(text->geometry(), twipsRect(240, 240, 9135, 8295));
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(text->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(text->font().pointSizeF(), 9.75);
    QCOMPARE(QFontInfo(text->font()).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    auto *close = window.findChild<QPushButton *>("Command1");
    QCOMPARE(close->text(), QStringLiteral("&Close"));
    QCOMPARE(close->geometry(), twipsRect(3720, 8760, 1815, 495));
}

void TestFrmHelp::readsTheHelpBesideTheProgram()
{
    // Run again by the link test below, which writes the file itself.
    std::optional<HelpFile> help;
    if (qEnvironmentVariableIsEmpty("MORVANE_HELP_WRITTEN"))
        help.emplace().write("Beside the program\r\n");
    frm_help window;
    QCOMPARE(helpText(window)->toPlainText(), QStringLiteral("Beside the program\n"));
}

void TestFrmHelp::findsTheHelpWhenStartedThroughALink()
{
    HelpFile help;
    // The command on the PATH is a link to the program in its own folder.
    help.write("Beside the program\r\n");
    PartFolder elsewhere;
    const QString link = elsewhere.filePath("morvane-link");
    QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), link));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MORVANE_HELP_WRITTEN", "1");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.start(link, {"readsTheHelpBesideTheProgram"});
    QVERIFY(child.waitForFinished(30000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             (child.readAllStandardOutput() + child.readAllStandardError()).constData());
}

QTEST_MAIN(TestFrmHelp)
#include "tst_frm_help.moc"
