#include "tests/help_file.h"
#include "tests/message_box_catcher.h"
#include "tests/part_folder.h"
#include "ui/application_title.h"
#include "ui/frmAbout.h"
#include "ui/frm_main.h"
#include "ui/twips.h"

#include <QFileSystemModel>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTreeView>

namespace {

const QByteArray kPart = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.5,2,3\r\n";

template <typename T = QWidget>
T *control(const QWidget *window, const char *name)
{
    T *widget = window->findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

template <typename Window>
QList<Window *> openWindows()
{
    QList<Window *> open;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            open << window;
    return open;
}

// Runs `steps` in the event loop, where the application quits: exec() gives
// 0 when it quit, 2 when it still ran a while later.
int runInEventLoop(const std::function<void()> &steps)
{
    QTimer::singleShot(0, steps);
    QTimer::singleShot(3000, [] { QCoreApplication::exit(2); });
    return QApplication::exec();
}

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT

    std::unique_ptr<PartFolder> folder;
    std::unique_ptr<frm_main> window;

    QStringList listed() const
    {
        QStringList names;
        for (const QListWidgetItem *item :
             control<QListWidget>(window.get(), "File1")->findItems("*", Qt::MatchWildcard))
            names << item->text();
        return names;
    }
    void clickFile(const QString &name, bool twice = false) const
    {
        auto *list = control<QListWidget>(window.get(), "File1");
        const QPoint at = list->visualItemRect(list->findItems(name, Qt::MatchExactly).value(0)).center();
        twice ? QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at)
              : QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    SeenMessageBox press(const char *button) const
    {
        return catchMessageBox([&] { control<QPushButton>(window.get(), button)->click(); });
    }
    void click(const char *button) const { control<QPushButton>(window.get(), button)->click(); }
    QLineEdit *box(const char *name) const { return control<QLineEdit>(window.get(), name); }

private slots:
    void init()
    {
        folder = std::make_unique<PartFolder>();
        folder->write("wing.afp", kPart);
        QVERIFY(QDir::setCurrent(folder->path()));
        window = std::make_unique<frm_main>();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void startsWithTheDefaults()
    {
        QVERIFY(control<QRadioButton>(window.get(), "prec_opt(0)")->isChecked());
        for (const char *name : {"right_sc", "fore_sc", "up_sc"})
            QCOMPARE(box(name)->text(), QStringLiteral("1.00"));
        auto *tree = control<QTreeView>(window.get(), "Dir1");
        QCOMPARE(qobject_cast<QFileSystemModel *>(tree->model())->filePath(tree->currentIndex()), QDir::currentPath());
        QCOMPARE(window->listedFolder(), QDir::currentPath());
        QCOMPARE(listed(), QStringList({"wing.afp"}));
        QCOMPARE(window->selectedFileName(), QString());
        QCOMPARE(QApplication::focusWidget(), tree);
        QVERIFY((window->geometry().center() - window->screen()->availableGeometry().center()).manhattanLength() <= 1);
    }

    // The layout's own alignments, its client size and its fonts; every
    // caption fits whole inside its control.
    void laidOutWithCaptionsThatFit()
    {
        const auto right = [&](const char *name) { return control(window.get(), name)->geometry().right() + 1; };
        const auto bottom = [&](const char *name) { return control(window.get(), name)->geometry().bottom() + 1; };
        for (const char *name : {"prec_frame", "right_sc", "fore_sc", "up_sc", "Command2", "Command1"})
            QCOMPARE(right(name), twips(8895));
        for (const char *name : {"File1", "Command1", "bt_hlp", "bt_about"})
            QCOMPARE(bottom(name), twips(5415));
        QCOMPARE(control(window.get(), "Dir1")->geometry(), twipsRect(360, 480, 4575, 1890));
        QCOMPARE(control(window.get(), "prec_opt(1)")->geometry(), twipsRect(240, 720, 2055, 255));
        QVERIFY(window->size() == QSize(635, 380) && window->minimumSize() == window->maximumSize());
        QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            QString caption = widget->property("text").toString() + widget->property("title").toString();
            caption.remove('&');
            int room = widget->width();
            if (auto *option = qobject_cast<QRadioButton *>(widget))
                room -= option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) + 4;
            if (auto *button = qobject_cast<QPushButton *>(widget))
                room -= 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin) + button->iconSize().width();
            if (!qobject_cast<QLineEdit *>(widget))
                QVERIFY2(QFontMetrics(widget->font()).horizontalAdvance(caption) <= room,
                         qPrintable(widget->objectName()));
            if (widget->objectName().startsWith("Label") || widget->objectName() == "prec_frame")
                QVERIFY(widget->font().bold() && widget->font().pointSizeF() == 8.25
                        && QFontInfo(widget->font()).family() == "Liberation Sans");
        }
    }

    void executeShowsEachOutcome()
    {
        const SeenMessageBox none = press("Command2");
        QCOMPARE(none.text, QStringLiteral("Please select a file !"));
        QCOMPARE(none.title, QString(morvane::kApplicationTitle));
        QVERIFY(none.icon == QMessageBox::NoIcon && none.buttons == QStringList({"OK"}));
        QCOMPARE(folder->entries(), QStringList({"wing.afp"}));

        clickFile("wing.afp");
        box("up_sc")->setText("abc");
        QCOMPARE(press("Command2").text,
                 "Could not resize wing.afp: line 6: the UP factor \"abc\" is not a number. "
                 "No file was changed.");
        box("up_sc")->setText("2");
        control<QRadioButton>(window.get(), "prec_opt(1)")->click();
        QStringList listedWhileShown;
        QTimer::singleShot(0, [&] { listedWhileShown = listed(); }); // runs while the box is up
        QCOMPARE(press("Command2").text,
                 "   File has been created succesfuly !  \n\n"
                 "   New file's name is : wing_new1.afp   ");
        QCOMPARE(listedWhileShown, QStringList({"wing.afp"}));
        QCOMPARE(listed(), QStringList({"wing.afp", "wing_new1.afp"}));
        QCOMPARE(folder->read("wing_new1.afp").split('\n').value(5), QByteArray("\"\",1.5,2,6\r"));
        QCOMPARE(box("up_sc")->text(), QStringLiteral("2"));
        QCOMPARE(window->resizeSettings().precision, morvane::PrecisionMode::AF5);
        QCOMPARE(window->selectedFileName(), QStringLiteral("wing.afp"));
    }

    void openingAFolderClearsTheSelection()
    {
        QVERIFY(QDir(folder->path()).mkdir("other"));
        folder->write("other/tail.afp", kPart);
        clickFile("wing.afp");
        auto *tree = control<QTreeView>(window.get(), "Dir1");
        tree->setCurrentIndex(qobject_cast<QFileSystemModel *>(tree->model())->index(folder->file("other")));
        QCOMPARE(window->listedFolder(), folder->file("other"));
        QCOMPARE(listed(), QStringList({"tail.afp"}));
        QCOMPARE(press("Command2").text, QStringLiteral("Please select a file !"));
    }

    void factorTextsHandedOnUntouched()
    {
        box("right_sc")->setText(" 2");
        box("fore_sc")->setText("1,5");
        box("up_sc")->setText("");
        const morvane::ResizeSettings settings = window->resizeSettings();
        QVERIFY(settings.right == " 2" && settings.fore == "1,5" && settings.up.empty());
    }

    void listsPartFilesAndDoubleClickOnlySelects()
    {
        for (const char *name : {"b.afp", "A.AFP", "c.Afp", "notes.txt", "d.afp.bak", "eafp", ".hidden.afp"})
            folder->write(name, kPart);
        QVERIFY(QDir(folder->path()).mkdir("folder.afp"));
        window = std::make_unique<frm_main>();
        window->show();
        QCOMPARE(listed(), QStringList({"A.AFP", "b.afp", "c.Afp", "wing.afp"}));
        QVERIFY(!catchMessageBox([&] { clickFile("b.afp", true); }).shown);
        QCOMPARE(window->selectedFileName(), QStringLiteral("b.afp"));
        QVERIFY(!folder->entries().contains("b_new1.afp"));
    }

    void accessKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("effect"); // the control then focused, the box shown or the window opened
        for (const auto &[key, effect] :
             std::initializer_list<std::pair<int, const char *>>{{Qt::Key_A, "Dir1"},
                                                                 {Qt::Key_R, "right_sc"},
                                                                 {Qt::Key_F, "fore_sc"},
                                                                 {Qt::Key_U, "up_sc"},
                                                                 {Qt::Key_5, "AF5"},
                                                                 {Qt::Key_M, "Please select a file !"},
                                                                 {Qt::Key_H, "frm_help"},
                                                                 {Qt::Key_B, "frmAbout"},
                                                                 {Qt::Key_X, "closed"}})
            QTest::newRow(effect) << key << effect;
    }
    void accessKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, effect);
        control(window.get(), "bt_about")->setFocus();
        const SeenMessageBox seen =
            catchMessageBox([&] { QTest::keyClick(window.get(), Qt::Key(key), Qt::AltModifier); });
        if (effect == "AF5") {
            QCOMPARE(window->resizeSettings().precision, morvane::PrecisionMode::AF5);
            QTest::keyClick(window.get(), Qt::Key_9, Qt::AltModifier);
            QTRY_COMPARE(window->resizeSettings().precision, morvane::PrecisionMode::AF99);
        } else if (effect.startsWith("frm")) {
            QCOMPARE(QApplication::activeWindow()->objectName(), effect);
            QApplication::activeWindow()->close();
        } else if (effect == "closed") {
            QTRY_VERIFY(!window->isVisible());
        } else {
            QCOMPARE(seen.shown ? seen.text : QApplication::focusWidget()->objectName(), effect);
        }
    }

    void tabOrderAndEnter()
    {
        QStringList visited;
        for (int i = 0; i < 11; ++i, QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab))
            visited << QApplication::focusWidget()->objectName();
        QCOMPARE(visited,
                 QStringList({"Dir1", "File1", "prec_opt(0)", "right_sc", "fore_sc", "up_sc", "Command2", "Command1",
                              "bt_hlp", "bt_about", "Dir1"}));
        // No default or cancel button: Enter presses only a focused button.
        for (const char *name : {"right_sc", "Dir1", "Command2"}) {
            control(window.get(), name)->setFocus();
            QVERIFY(!catchMessageBox([] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }).shown);
            QCOMPARE(catchMessageBox([] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }).shown,
                     QByteArray(name) == "Command2");
        }
    }

    // One of each, modeless; Help reads the file afresh only once closed.
    void helpAndAboutWindows()
    {
        HelpFile help;
        help.write("first\r\n");
        const auto helpShown = [] {
            const QList<frm_help *> open = openWindows<frm_help>();
            return open.size() == 1 ? open[0]->findChild<QPlainTextEdit *>()->toPlainText()
                                    : QString::number(open.size());
        };
        click("bt_hlp");
        help.write("second\r\n");
        click("bt_hlp");
        QCOMPARE(helpShown(), QStringLiteral("first\n"));
        click("bt_about");
        click("bt_about");
        QCOMPARE(openWindows<frmAbout>().size(), 1);
        QCOMPARE(press("Command2").text, QStringLiteral("Please select a file !"));
        openWindows<frm_help>()[0]->close();
        click("bt_hlp");
        QCOMPARE(helpShown(), QStringLiteral("second\n"));
        openWindows<frm_help>()[0]->close();

        help.makeUnreadable();
        const SeenMessageBox box = press("bt_hlp");
        QCOMPARE(box.title, QString(morvane::kApplicationTitle));
        QVERIFY2(box.text.contains(QDir::toNativeSeparators(frm_help::helpFilePath())), qPrintable(box.text));
        QCOMPARE(openWindows<frm_help>().size(), 0);
        openWindows<frmAbout>()[0]->close();
    }

    void exitClosesEveryWindow()
    {
        QCOMPARE(runInEventLoop([&] {
                     click("bt_hlp");
                     click("bt_about");
                     click("Command1");
                 }),
                 0);
        QCOMPARE(openWindows<QWidget>(), QList<QWidget *>());
    }

    void closeBoxLeavesTheOthersRunning()
    {
        bool aboutLivedOn = false;
        QCOMPARE(runInEventLoop([&] {
                     click("bt_about");
                     window->close();
                     QTimer::singleShot(100, [&] {
                         aboutLivedOn = openWindows<frmAbout>().size() == 1 && !window->isVisible();
                         if (aboutLivedOn)
                             openWindows<frmAbout>()[0]->close();
                     });
                 }),
                 0);
        QVERIFY(aboutLivedOn);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
