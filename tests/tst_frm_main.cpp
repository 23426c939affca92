#include "frmAbout.h"
#include "frm_main.h"
#include "help_file.h"
#include "message_box_catcher.h"
#include "part_folder.h"
#include "twips.h"

#include <QFileSystemModel>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeView>

#include <functional>

namespace {

const QByteArray kPart = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.5,2,3\r\n";

template <typename T = QWidget>
T *control(const QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

QStringList listed(const frm_main &window)
{
    QStringList names;
    const auto *list = control<QListWidget>(window, "File1");
    for (int row = 0; row < list->count(); ++row)
        names << list->item(row)->text();
    return names;
}

void clickFile(const frm_main &window, const QString &name, bool twice = false)
{
    auto *list = control<QListWidget>(window, "File1");
    const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(name));
    const QPoint at = list->visualItemRect(items.first()).center();
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    else
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
}

void openFolder(const frm_main &window, const QString &path)
{
    auto *tree = control<QTreeView>(window, "Dir1");
    auto *model = qobject_cast<QFileSystemModel *>(tree->model());
    tree->setCurrentIndex(model->index(path));
}

// The application's windows of one kind that are open.
template <typename Window>
QList<Window *> openWindows()
{
    QList<Window *> open;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            open << window;
    return open;
}

QString helpShown()
{
    const QList<frm_help *> open = openWindows<frm_help>();
    return open.size() == 1 ? open.first()->findChild<QPlainTextEdit *>("hlp_text")->toPlainText()
                            : QStringLiteral("<%1 help windows>").arg(open.size());
}

QString plainCaption(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT

private slots:
    void init();
    void startsWithTheDefaults();
    void executeWithNothingSelected();
    void openingAFolderClearsTheSelection();
    void createdFileIsListedAfterTheMessage();
    void failureIsReportedAndNothingChanges();
    void factorTextsHandedOnUntouched_data();
    void factorTextsHandedOnUntouched();
    void listsOnlyPartFiles();
    void doubleClickOnlySelects();
    void accessKeysMoveTheFocus_data();
    void accessKeysMoveTheFocus();
    void accessKeysChooseThePrecision();
    void accessKeyPressesExecute();
    void tabOrder();
    void enterPressesOnlyTheFocusedButton();
    void geometry_data();
    void geometry();
    void windowIsFixedWithCloseBoxOnly();
    void captionsFit();
    void fontsAreTheStandIn();
    void exitClosesEveryWindow();
    void closeBoxClosesTheMainWindowOnly();
    void helpOpensOnceAndReadsAfresh();
    void helpThatCannotBeReadIsReported();
    void aboutOpensOnce();
    void otherWindowsLeaveTheMainWindowUsable();
    void exitClosesHelpAndAbout();
    void applicationLivesOnWhileAboutIsOpen();

private:
    std::unique_ptr<PartFolder> m_folder;
};

void TestFrmMain::init()
{
    m_folder = std::make_unique<PartFolder>();
    QVERIFY(QDir::setCurrent(m_folder->path()));
}

void TestFrmMain::startsWithTheDefaults()
{
    m_folder->write("wing.afp", kPart);
    frm_main window;
    QCOMPARE(window.windowTitle(), QStringLiteral("AF99 Morvane Part Application 1.1"));
    QVERIFY(control<QRadioButton>(window, "prec_opt(0)")->isChecked());
    QVERIFY(!control<QRadioButton>(window, "prec_opt(1)")->isChecked());
    for (const char *box : {"right_sc", "fore_sc", "up_sc"})
        QCOMPARE(control<QLineEdit>(window, box)->text(), QStringLiteral("1.00"));
    const QString cwd = QDir::currentPath();
    QCOMPARE(window.listedFolder(), cwd);
    auto *tree = control<QTreeView>(window, "Dir1");
    QCOMPARE(qobject_cast<QFileSystemModel *>(tree->model())->filePath(tree->currentIndex()), cwd);
    QCOMPARE(listed(window), QStringList({"wing.afp"}));
    QCOMPARE(window.selectedFileName(), QString());

    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), tree);
}

void TestFrmMain::executeWithNothingSelected()
{
    m_folder->write("wing.afp", kPart);
    frm_main window;
    const SeenMessageBox box = catchMessageBox([&] { control<QPushButton>(window, "Command2")->click(); });
    QVERIFY(box.shown);
    QCOMPARE(box.title, QStringLiteral("AF99 Morvane Part 1.1"));
    QCOMPARE(box.text, QStringLiteral("Please select a file !"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QStringList({"OK"}));
    QCOMPARE(m_folder->entries(), QStringList({"wing.afp"}));
}

void TestFrmMain::openingAFolderClearsTheSelection()
{
    m_folder->write("wing.afp", kPart);
    QVERIFY(QDir(m_folder->path()).mkdir("other"));
    m_folder->write("other/tail.afp", kPart);
    frm_main window;
    window.show();
    clickFile(window, "wing.afp");
    QCOMPARE(window.selectedFileName(), QStringLiteral("wing.afp"));

    openFolder(window, m_folder->filePath("other"));
    QCOMPARE(window.listedFolder(), m_folder->filePath("other"));
    QCOMPARE(listed(window), QStringList({"tail.afp"}));
    QCOMPARE(window.selectedFileName(), QString());
    const SeenMessageBox box = catchMessageBox([&] { control<QPushButton>(window, "Command2")->click(); });
    QCOMPARE(box.text, QStringLiteral("Please select a file !"));
    QCOMPARE(QDir(m_folder->filePath("other")).entryList(QDir::Files), QStringList({"tail.afp"}));
}

void TestFrmMain::createdFileIsListedAfterTheMessage()
{
    m_folder->write("wing.afp", kPart);
    frm_main window;
    window.show();
    control<QLineEdit>(window, "right_sc")->setText("2");
    control<QRadioButton>(window, "prec_opt(1)")->click();
    clickFile(window, "wing.afp");

    QStringList listedWhileShown;
    const SeenMessageBox box = catchMessageBox([&] {
        QTimer::singleShot(0, [&] { listedWhileShown = listed(window); });
        control<QPushButton>(window, "Command2")->click();
    });
    QCOMPARE(box.text, QStringLiteral("   File has been created succesfuly !  \n\n"
                                      "   New file's name is : wing_new1.afp   "));
    QCOMPARE(listedWhileShown, QStringList({"wing.afp"}));
    QCOMPARE(listed(window), QStringList({"wing.afp", "wing_new1.afp"}));
    QCOMPARE(m_folder->read("wing_new1.afp"),
             QByteArray("\"\",\"wing_new1\",\"metal-Resized\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",3,2,3\r\n"));
    QCOMPARE(control<QLineEdit>(window, "right_sc")->text(), QStringLiteral("2"));
    QVERIFY(control<QRadioButton>(window, "prec_opt(1)")->isChecked());
    QCOMPARE(window.selectedFileName(), QStringLiteral("wing.afp"));
}

void TestFrmMain::failureIsReportedAndNothingChanges()
{
    m_folder->write("wing.afp", kPart);
    frm_main window;
    window.show();
    control<QLineEdit>(window, "up_sc")->setText("abc");
    clickFile(window, "wing.afp");
    const SeenMessageBox box = catchMessageBox([&] { control<QPushButton>(window, "Command2")->click(); });
    QCOMPARE(box.title, QStringLiteral("AF99 Morvane Part 1.1"));
    QCOMPARE(box.text, QStringLiteral("Could not resize wing.afp: line 6: the UP factor \"abc\" is not a number. "
                                      "No file was changed."));
    QCOMPARE(listed(window), QStringList({"wing.afp"}));
    QCOMPARE(m_folder->entries(), QStringList({"wing.afp"}));
}

void TestFrmMain::factorTextsHandedOnUntouched_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("leading blank") << " 2";
    QTest::newRow("decimal comma") << "1,5";
    QTest::newRow("empty") << "";
    QTest::newRow("trailing blanks") << "0.5  ";
}

void TestFrmMain::factorTextsHandedOnUntouched()
{
    QFETCH(QString, typed);
    frm_main window;
    control<QLineEdit>(window, "right_sc")->setText(typed);
    control<QLineEdit>(window, "fore_sc")->setText(typed + "x");
    control<QLineEdit>(window, "up_sc")->setText("3" + typed);
    const morvane::ResizeSettings settings = window.resizeSettings();
    QCOMPARE(QString::fromStdString(settings.right), typed);
    QCOMPARE(QString::fromStdString(settings.fore), typed + "x");
    QCOMPARE(QString::fromStdString(settings.up), "3" + typed);
    QCOMPARE(settings.precision, morvane::PrecisionMode::AF99);
}

void TestFrmMain::listsOnlyPartFiles()
{
    for (const char *name : {"b.afp", "A.AFP", "c.Afp", "notes.txt", "d.afp.bak", "eafp", ".hidden.afp"})
        m_folder->write(name, kPart);
    QVERIFY(QDir(m_folder->path()).mkdir("folder.afp"));
    frm_main window;
    QCOMPARE(listed(window), QStringList({"A.AFP", "b.afp", "c.Afp"}));
}

void TestFrmMain::doubleClickOnlySelects()
{
    m_folder->write("wing.afp", kPart);
    frm_main window;
    window.show();
    const SeenMessageBox box = catchMessageBox([&] { clickFile(window, "wing.afp", true); });
    QVERIFY(!box.shown);
    QCOMPARE(window.selectedFileName(), QStringLiteral("wing.afp"));
    QCOMPARE(m_folder->entries(), QStringList({"wing.afp"}));
}

void TestFrmMain::accessKeysMoveTheFocus_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focused");
    QTest::newRow("Alt+A") << int(Qt::Key_A) << "Dir1";
    QTest::newRow("Alt+R") << int(Qt::Key_R) << "right_sc";
    QTest::newRow("Alt+F") << int(Qt::Key_F) << "fore_sc";
    QTest::newRow("Alt+U") << int(Qt::Key_U) << "up_sc";
}

void TestFrmMain::accessKeysMoveTheFocus()
{
    QFETCH(int, key);
    QFETCH(QString, focused);
    frm_main window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    control(window, "bt_about")->setFocus();
    QTest::keyClick(&window, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
}

void TestFrmMain::accessKeysChooseThePrecision()
{
    frm_main window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_5, Qt::AltModifier);
    QTRY_VERIFY(control<QRadioButton>(window, "prec_opt(1)")->isChecked());
    QCOMPARE(window.resizeSettings().precision, morvane::PrecisionMode::AF5);
    QTest::keyClick(&window, Qt::Key_9, Qt::AltModifier);
    QTRY_VERIFY(control<QRadioButton>(window, "prec_opt(0)")->isChecked());
    QCOMPARE(window.resizeSettings().precision, morvane::PrecisionMode::AF99);
}

void TestFrmMain::accessKeyPressesExecute()
{
    frm_main window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const SeenMessageBox box = catchMessageBox([&] { QTest::keyClick(&window, Qt::Key_M, Qt::AltModifier); });
    QCOMPARE(box.text, QStringLiteral("Please select a file !"));
}

void TestFrmMain::tabOrder()
{
    m_folder->write("wing.afp", kPart);
    frm_main window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStringList visited;
    for (int i = 0; i < 11; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, QStringList({"Dir1", "File1", "prec_opt(0)", "right_sc", "fore_sc", "up_sc", "Command2",
                                   "Command1", "bt_hlp", "bt_about", "Dir1"}));
}

void TestFrmMain::enterPressesOnlyTheFocusedButton()
{
    frm_main window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (const char *name : {"right_sc", "Dir1"}) {
        control(window, name)->setFocus();
        QVERIFY(!catchMessageBox([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }).shown);
        QVERIFY(!catchMessageBox([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }).shown);
    }
    control(window, "Command2")->setFocus();
    QVERIFY(!catchMessageBox([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }).shown);
    QCOMPARE(catchMessageBox([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }).text,
             QStringLiteral("Please select a file !"));
}

void TestFrmMain::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Label4") << "Label4" << twipsRect(360, 240, 3255, 195);
    QTest::newRow("Dir1") << "Dir1" << twipsRect(360, 480, 4575, 1890);
    QTest::newRow("File1") << "File1" << twipsRect(360, 2400, 4575, 3015);
    QTest::newRow("prec_opt(0)") << "prec_opt(0)" << twipsRect(240, 360, 1815, 255);
    QTest::newRow("prec_opt(1)") << "prec_opt(1)" << twipsRect(240, 720, 2055, 255);
    QTest::newRow("Label1") << "Label1" << twipsRect(5400, 1950, 2175, 255);
    QTest::newRow("right_sc") << "right_sc" << twipsRect(7680, 1920, 1215, 285);
    QTest::newRow("Label2") << "Label2" << twipsRect(5400, 2550, 2175, 255);
    QTest::newRow("fore_sc") << "fore_sc" << twipsRect(7680, 2520, 1215, 285);
    QTest::newRow("Label3") << "Label3" << twipsRect(5400, 3150, 2055, 255);
    QTest::newRow("up_sc") << "up_sc" << twipsRect(7680, 3120, 1215, 285);
    QTest::newRow("Command2") << "Command2" << twipsRect(5400, 3720, 3495, 735);
    QTest::newRow("Command1") << "Command1" << twipsRect(7920, 4680, 975, 735);
    QTest::newRow("bt_hlp") << "bt_hlp" << twipsRect(5400, 4680, 975, 735);
    QTest::newRow("bt_about") << "bt_about" << twipsRect(6720, 4680, 975, 735);
    QTest::newRow("prec_frame") << "prec_frame" << twipsRect(5400, 480, 3495, 1095);
}

void TestFrmMain::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    frm_main window;
    QCOMPARE(control(window, name.toLatin1())->geometry(), rect);
}

void TestFrmMain::windowIsFixedWithCloseBoxOnly()
{
    frm_main window;
    QCOMPARE(window.size(), QSize(635, 380));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(window.palette().color(QPalette::Window), window.palette().color(QPalette::Midlight));
    for (const char *box : {"right_sc", "fore_sc", "up_sc"})
        QCOMPARE(control(window, box)->palette().color(QPalette::Base), QColor(Qt::white));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(window.geometry().center().y() - screen.center().y()) <= 1);
}

void TestFrmMain::captionsFit()
{
    frm_main window;
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        const int needed = QFontMetrics(label->font()).horizontalAdvance(plainCaption(label->text()));
        QVERIFY2(needed <= label->width(), qPrintable(label->objectName()));
        QVERIFY2(QFontMetrics(label->font()).height() <= label->height() + 2, qPrintable(label->objectName()));
    }
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const int margin = 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        const int needed = QFontMetrics(button->font()).horizontalAdvance(plainCaption(button->text())) + margin;
        QVERIFY2(needed <= button->width(), qPrintable(button->objectName()));
    }
    for (QRadioButton *option : window.findChildren<QRadioButton *>()) {
        const QStyle *style = option->style();
        const int needed = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth)
                           + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing)
                           + QFontMetrics(option->font()).horizontalAdvance(plainCaption(option->text()));
        QVERIFY2(needed <= option->width(), qPrintable(option->objectName()));
    }
    const auto *frame = control<QGroupBox>(window, "prec_frame");
    QVERIFY(QFontMetrics(frame->font()).horizontalAdvance(frame->title()) <= frame->width());
}

void TestFrmMain::fontsAreTheStandIn()
{
    frm_main window;
    for (const char *name : {"Label4", "Label1", "Label2", "Label3", "prec_frame"}) {
        const QFont font = control(window, name)->font();
        QVERIFY2(font.bold(), name);
        QCOMPARE(font.pointSizeF(), 8.25);
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    }
    for (const char *name : {"prec_opt(0)", "prec_opt(1)", "Command2", "right_sc", "File1"}) {
        const QFont font = control(window, name)->font();
        QVERIFY2(!font.bold(), name);
        QCOMPARE(font.pointSizeF(), 8.25);
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    }
}

// Runs `steps` inside the application's event loop, which is where the
// application quits, and returns exec()'s result: 0 when it quit, 2 when it
// was still running after the steps and a grace period.
static int runInEventLoop(const std::function<void()> &steps)
{
    QTimer::singleShot(0, steps);
    QTimer::singleShot(3000, [] { QCoreApplication::exit(2); });
    return QApplication::exec();
}

void TestFrmMain::exitClosesEveryWindow()
{
    frm_main window;
    QWidget other;
    window.show();
    other.show();
    QCOMPARE(runInEventLoop([&] { control<QPushButton>(window, "Command1")->click(); }), 0);
    QVERIFY(!window.isVisible());
    QVERIFY(!other.isVisible());
}

void TestFrmMain::closeBoxClosesTheMainWindowOnly()
{
    frm_main window;
    QWidget other;
    window.show();
    other.show();
    bool otherLivedOn = false;
    const int result = runInEventLoop([&] {
        window.close();
        QTimer::singleShot(100, [&] {
            otherLivedOn = other.isVisible() && !window.isVisible();
            other.close();
        });
    });
    QVERIFY(otherLivedOn);
    QCOMPARE(result, 0);
}

void TestFrmMain::helpOpensOnceAndReadsAfresh()
{
    HelpFile help;
    help.write("first\r\n");
    frm_main window;
    window.show();
    auto *helpButton = control<QPushButton>(window, "bt_hlp");
    helpButton->click();
    QCOMPARE(helpShown(), QStringLiteral("first\n"));

    help.write("second\r\n");
    helpButton->click();
    QCOMPARE(helpShown(), QStringLiteral("first\n"));

    openWindows<frm_help>().first()->close();
    QTRY_COMPARE(openWindows<frm_help>().size(), 0);
    helpButton->click();
    QCOMPARE(helpShown(), QStringLiteral("second\n"));
    openWindows<frm_help>().first()->close();
}

void TestFrmMain::helpThatCannotBeReadIsReported()
{
    HelpFile help;
    help.makeUnreadable();
    frm_main window;
    window.show();
    const SeenMessageBox box = catchMessageBox([&] { control<QPushButton>(window, "bt_hlp")->click(); });
    QCOMPARE(box.title, QStringLiteral("AF99 Morvane Part 1.1"));
    QVERIFY2(box.text.contains(QDir::toNativeSeparators(frm_help::helpFilePath())), qPrintable(box.text));
    QCOMPARE(openWindows<frm_help>().size(), 0);
}

void TestFrmMain::aboutOpensOnce()
{
    frm_main window;
    window.show();
    control<QPushButton>(window, "bt_about")->click();
    control<QPushButton>(window, "bt_about")->click();
    QCOMPARE(openWindows<frmAbout>().size(), 1);
    openWindows<frmAbout>().first()->close();
    QTRY_COMPARE(openWindows<frmAbout>().size(), 0);
    control<QPushButton>(window, "bt_about")->click();
    QCOMPARE(openWindows<frmAbout>().size(), 1);
    openWindows<frmAbout>().first()->close();
}

void TestFrmMain::otherWindowsLeaveTheMainWindowUsable()
{
    frm_main window;
    window.show();
    control<QPushButton>(window, "bt_hlp")->click();
    control<QPushButton>(window, "bt_about")->click();
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    const SeenMessageBox box = catchMessageBox([&] { control<QPushButton>(window, "Command2")->click(); });
    QCOMPARE(box.text, QStringLiteral("Please select a file !"));
    openWindows<frm_help>().first()->close();
    openWindows<frmAbout>().first()->close();
}

void TestFrmMain::exitClosesHelpAndAbout()
{
    frm_main window;
    window.show();
    const int result = runInEventLoop([&] {
        control<QPushButton>(window, "bt_hlp")->click();
        control<QPushButton>(window, "bt_about")->click();
        control<QPushButton>(window, "Command1")->click();
    });
    QCOMPARE(result, 0);
    QVERIFY(!window.isVisible());
    QCOMPARE(openWindows<frm_help>().size(), 0);
    QCOMPARE(openWindows<frmAbout>().size(), 0);
}

void TestFrmMain::applicationLivesOnWhileAboutIsOpen()
{
    frm_main window;
    window.show();
    bool aboutLivedOn = false;
    const int result = runInEventLoop([&] {
        control<QPushButton>(window, "bt_about")->click();
        window.close();
        QTimer::singleShot(100, [&] {
            aboutLivedOn = openWindows<frmAbout>().size() == 1 && !window.isVisible();
            if (aboutLivedOn)
                openWindows<frmAbout>().first()->close();
        });
    });
    QVERIFY(aboutLivedOn);
    QCOMPARE(result, 0);
}

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
