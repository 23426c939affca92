// The main window and the help window as a user meets them.

#include "tests/help_file.h"
#include "tests/part_folder.h"
#include "ui/application_title.h"
#include "ui/frm_main.h"

#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

const QByteArray kPart = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.5,2,3\r\n";

// The windows on screen, by name.
QStringList openWindows()
{
    QStringList open;
    for (const QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible())
            open << window->objectName();
    open.sort();
    return open;
}

void closeHelp()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == "frm_help")
            window->close();
}

QString helpShown()
{
    for (const QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->objectName() == "frm_help")
            return window->findChild<QPlainTextEdit *>()->toPlainText();
    return "<none>";
}

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT

    std::unique_ptr<PartFolder> folder;
    std::unique_ptr<frm_main> window;

    template <typename T = QPushButton>
    T *control(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QStringList listed() const
    {
        QStringList names;
        for (const QListWidgetItem *item : control<QListWidget>("File1")->findItems("*", Qt::MatchWildcard))
            names << item->text();
        return names;
    }
    // Clicks `button`; a message box that comes up is read (title, text,
    // icon, buttons) and closed with its first button.
    QStringList press(const char *button) const
    {
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() << box->text() << (box->icon() == QMessageBox::NoIcon ? "no icon" : "icon");
                for (const QAbstractButton *each : box->buttons())
                    seen << each->text();
                box->buttons().constFirst()->click();
            }
        });
        control(button)->click();
        QCoreApplication::processEvents(); // the check above, where no box came
        return seen;
    }

private slots:
    void init()
    {
        folder = std::make_unique<PartFolder>();
        folder->write("wing.afp", kPart);
        for (const char *name : {"b.afp", "A.AFP", "notes.txt", "d.afp.bak", ".hidden.afp", "w\xE9.afp"})
            folder->write(name, kPart);
        QVERIFY(QDir(folder->path()).mkdir("folder.afp") && QDir::setCurrent(folder->path()));
        window = std::make_unique<frm_main>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { QApplication::closeAllWindows(); }

    void execute_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("factors"); // RIGHT, FORE, UP
        QTest::addColumn<bool>("af5");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("newLine6"); // empty: no new file
        const QString created = "   File has been created succesfuly !  \n\n   New file's name is : wing_new1.afp   ";
        const QStringList factors{"2", "1.01", "0.5"};
        QTest::newRow("no file selected") << "" << factors << false << "Please select a file !" << QByteArray();
        QTest::newRow("UP not a number")
            << "wing.afp" << QStringList{"1.00", "1.00", "abc"} << false
            << "Could not resize wing.afp: line 6: the UP factor \"abc\" is not a number. No file was changed."
            << QByteArray();
        QTest::newRow("AF99") << "wing.afp" << factors << false << created << QByteArray("\"\",3,2.02,1.5\r");
        QTest::newRow("AF5") << "wing.afp" << factors << true << created << QByteArray("\"\",3,2,1.5\r");
    }
    void execute()
    {
        QFETCH(QString, selected);
        QFETCH(QStringList, factors);
        QFETCH(bool, af5);
        QFETCH(QString, message);
        QFETCH(QByteArray, newLine6);
        auto *list = control<QListWidget>("File1");
        list->setCurrentItem(list->findItems(selected, Qt::MatchExactly).value(0));
        for (int axis = 0; axis < 3; ++axis)
            control<QLineEdit>(std::array{"right_sc", "fore_sc", "up_sc"}[axis])->setText(factors[axis]);
        control<QRadioButton>(af5 ? "prec_opt(1)" : "prec_opt(0)")->click();

        QCOMPARE(press("Command2"), QStringList({morvane::kApplicationTitle, message, "no icon", "OK"}));
        // Only part files, in any case, never a name that does not open its own file.
        QStringList parts{"A.AFP", "b.afp", "wing.afp"};
        if (!newLine6.isEmpty())
            parts << "wing_new1.afp";
        QCOMPARE(listed(), parts);
        QCOMPARE(folder->read("wing_new1.afp").split('\n').value(5), newLine6);
        QCOMPARE(window->selectedFileName(), selected);
        QVERIFY(!QApplication::overrideCursor());
    }

    void openingAFolderClearsTheSelection()
    {
        QVERIFY(QDir(folder->path()).mkdir("other"));
        folder->write("other/tail.afp", kPart);
        control<QListWidget>("File1")->setCurrentRow(0);
        auto *tree = control<QTreeView>("Dir1");
        tree->setCurrentIndex(qobject_cast<QFileSystemModel *>(tree->model())->index(folder->file("other")));
        QCOMPARE(listed(), QStringList({"tail.afp"}));
        QCOMPARE(window->selectedFileName(), QString());
    }

    // The help file beside the program, shown as it is, never one elsewhere.
    void help_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "-": no help file
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF lines") << QByteArray("First\r\n\r\nThird\r\n") << "First\n\nThird\n";
        QTest::newRow("LF and lone CR") << QByteArray("a\nb\rc") << "a\nb\nc";
        QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9");
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9");
        QTest::newRow("missing") << QByteArray("-") << "ERROR : Help file is missing ! Please reinstall application";
    }
    void help()
    {
        QFETCH(QByteArray, bytes);
        HelpFile help;
        bytes == "-" ? help.remove() : help.write(bytes);
        folder->write("Morvanehlp.txt", "help beside the parts");
        QVERIFY(press("bt_hlp").isEmpty());
        QTEST(helpShown(), "shown");
    }

    // One of each; Help reads the file afresh only once closed, and says
    // why where it cannot.
    void helpAndAboutExistOnce()
    {
        HelpFile help;
        help.write("first\r\n");
        for (const char *button : {"bt_hlp", "bt_about", "bt_hlp", "bt_about"})
            control(button)->click();
        help.write("second\r\n");
        QCOMPARE(openWindows(), QStringList({"frmAbout", "frm_help", "frm_main"}));
        QCOMPARE(helpShown(), QStringLiteral("first\n"));
        closeHelp();
        control("bt_hlp")->click();
        QCOMPARE(helpShown(), QStringLiteral("second\n"));
        closeHelp();
        help.makeUnreadable();
        const QStringList box = press("bt_hlp");
        QCOMPARE(box.value(0), morvane::kApplicationTitle);
        QVERIFY2(box.value(1).contains(QDir::toNativeSeparators(frm_help::helpFilePath())), qPrintable(box.value(1)));
        QCOMPARE(helpShown(), QStringLiteral("<none>"));
    }

    void closing_data()
    {
        QTest::addColumn<bool>("exit");
        QTest::addColumn<QStringList>("stillOpen");
        QTest::newRow("Exit") << true << QStringList();
        QTest::newRow("close box") << false << QStringList{"frmAbout", "frm_help"};
    }
    void closing()
    {
        QFETCH(bool, exit);
        for (const char *button : {"bt_hlp", "bt_about"})
            control(button)->click();
        exit ? control("Command1")->click() : void(window->close());
        QTEST(openWindows(), "stillOpen");
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
