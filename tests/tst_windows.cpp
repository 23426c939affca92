// The windows as a user meets them: every control of each whole, readable
// under any palette and named for screen readers; the main window's work;
// the help window's text.

#include "tests/part_folder.h"
#include "ui/application_title.h"
#include "ui/frmAbout.h"
#include "ui/frm_help.h"
#include "ui/frm_main.h"
#include "ui/frm_size.h"
#include "ui/screen_placement.h"

#include <QTest>
#include <QtWidgets>

#include <cmath>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kPart = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.5,2,3\r\n";
// RIGHT from -0.25 to 2, FORE from -1 to 4.125, UP flat at 3.
const QByteArray kSizedPart = kPart + "\"\",-0.25,4.125,3\r\n\"\",2,-1,3\r\n";
const QString kFlatUp = "the part is flat along UP: it has no size there to fit";

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

// The help window's text, and it closed; "<none>" where it is not open.
QString helpShownThenClosed()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->objectName() == "frm_help" && window->close())
            return window->findChild<QPlainTextEdit *>()->toPlainText();
    return "<none>";
}

// The help file beside the test program, where the help window looks: these
// bytes, none ("-"), a folder ("/") or a FIFO ("|") in its place.
void setHelpFile(const QByteArray &bytes)
{
    const QString path = frm_help::helpFilePath();
    QFile::remove(path);
    QDir().rmdir(path);
    QFile file(path);
    if (bytes == "/")
        QVERIFY(QDir().mkpath(path));
#ifndef _WIN32
    else if (bytes == "|")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    else if (bytes != "-")
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

bool captionFits(const QWidget *control)
{
    const QFontMetrics metrics(control->font());
    const QStyle *style = control->style();
    QString caption = control->property("text").toString() + control->property("title").toString();
    int room = control->width();
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        const int flags = (label->buddy() ? Qt::TextShowMnemonic : 0) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = metrics.boundingRect(QRect(0, 0, room, 1000), flags, caption);
        return needed.width() <= room && needed.height() <= label->height();
    }
    if (qobject_cast<const QRadioButton *>(control))
        room -= style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth)
            + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    if (const auto *button = qobject_cast<const QPushButton *>(control))
        room -= 2 * style->pixelMetric(QStyle::PM_ButtonMargin)
            + (button->icon().isNull() ? 0 : button->iconSize().width());
    return qobject_cast<const QLineEdit *>(control) || metrics.horizontalAdvance(caption.remove('&')) <= room;
}

// Whether all of a message box can be seen: its text in its label, its
// title in its width beside an icon and three buttons, and it on the screen.
bool wholeOnScreen(const QMessageBox *box)
{
    // The title whole in a bold font, beside an icon and three buttons.
    QFont bold = QApplication::font("QMdiSubWindowTitleBar");
    bold.setBold(true);
    const int title = QFontMetrics(bold).horizontalAdvance(box->windowTitle())
        + 6 * box->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    // In the window's font, the one its captions are measured in.
    return captionFits(box->findChild<QLabel *>("qt_msgbox_label")) && box->width() >= title
        && box->screen()->availableGeometry().contains(box->frameGeometry())
        && box->font() == box->parentWidget()->font();
}

double luminance(const QColor &colour)
{
    const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

// The contrast ratio of the web's accessibility guidelines, from 1 to 21.
double contrast(const QWidget *control)
{
    const auto *area = qobject_cast<const QAbstractScrollArea *>(control);
    const QWidget *face = area ? area->viewport() : control;
    // A radio button's caption lies on the window beneath it.
    const auto background = qobject_cast<const QRadioButton *>(control) ? QPalette::Window : face->backgroundRole();
    const auto [darker, lighter] = std::minmax(
        {luminance(face->palette().color(face->foregroundRole())), luminance(face->palette().color(background))});
    return (lighter + 0.05) / (darker + 0.05);
}

// The size windows open.
QList<frm_size *> sizeWindows()
{
    QList<frm_size *> found;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *size = qobject_cast<frm_size *>(window); size && size->isVisible())
            found << size;
    return found;
}

// The text of a size window's control.
QString shown(const QWidget *size, const QString &name)
{
    return size->findChild<QWidget *>(name)->property("text").toString();
}

// The size window, once it has read its part where `read`.
frm_size *sizeWindow(bool read = true)
{
    frm_size *size = sizeWindows().value(0);
    if (read && !QTest::qWaitFor([size] { return size && !shown(size, "lblLines").startsWith("Reading"); }))
        qWarning("no size window was read");
    return size;
}

// The time, in milliseconds, the calling thread has waited for a processor
// where the system tells (Linux); 0 elsewhere.
qint64 waitedForProcessor()
{
    QFile stat("/proc/thread-self/schedstat");
    return stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ').value(1).toLongLong() / 1000000 : 0;
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<PartFolder> folder;
    std::unique_ptr<frm_main> window;
    QStringList cutBoxes; // the text of each message box not all of which could be seen

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
    // Clicks `button`; a message box that comes up is read (title, text less
    // its unseen breaks, icon, buttons), kept where not all of it can be
    // seen, and closed with Escape.
    QStringList press(const char *button)
    {
        QStringList seen;
        QTimer::singleShot(0, [&seen, this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() << box->text().remove(QChar(0x200B))
                     << (box->icon() == QMessageBox::NoIcon ? "no icon" : "icon");
                if (!wholeOnScreen(box))
                    cutBoxes << seen.value(1);
                for (const QAbstractButton *each : box->buttons())
                    seen << each->text();
#ifdef _WIN32 // which copies a box with Ctrl+C: its words as they are
                if (QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
                    QGuiApplication::clipboard()->text().contains(QChar(0x200B)))
                    cutBoxes << seen.value(1) + " (copied with its breaks)";
#endif
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        control(button)->click();
        QCoreApplication::processEvents(); // the check above, where no box came
        return seen;
    }

private slots:
    void initTestCase()
    {
        // Run with a fontconfig setup of its own, the test stands for a
        // system without Liberation Sans: the windows must bring it along.
        if (qEnvironmentVariableIsSet("FONTCONFIG_FILE"))
            QVERIFY(!QFontDatabase::families().contains("Liberation Sans"));
    }

    void everyControlWholeReadableAndNamed_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<QString>("window");
        // Dark as many themes set it: dark faces, white text, and the 3D
        // shades left as the light palette had them.
        const QColor darkFace(53, 53, 53);
        QPalette partlyDark = QApplication::style()->standardPalette();
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            partlyDark.setColor(role, darkFace);
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            partlyDark.setColor(role, Qt::white);
        const std::pair<const char *, QPalette> palettes[] = {{"light", QApplication::style()->standardPalette()},
                                                              {"dark", QPalette(darkFace)},
                                                              {"partly dark", partlyDark}};
        for (const auto &[name, palette] : palettes)
            for (const char *window : {"frm_main", "frm_help", "frmAbout", "frm_size"})
                QTest::addRow("%s, %s", name, window) << palette << QString(window);
    }
    void everyControlWholeReadableAndNamed()
    {
        QFETCH(QPalette, palette);
        QFETCH(QString, window);
        QApplication::setPalette(palette);
        // The size window of a part of one point, flat every way, which
        // says so beside each axis.
        const std::unique_ptr<QWidget> shown(window == "frm_main"       ? static_cast<QWidget *>(new frm_main)
                                                 : window == "frm_help" ? static_cast<QWidget *>(new frm_help)
                                                 : window == "frmAbout"
                                                 ? static_cast<QWidget *>(new frmAbout)
                                                 : new frm_size({folder->path(), "wing.afp"}, {}));
        if (window == "frm_size") {
            shown->show();
            QVERIFY(sizeWindow());
            QCoreApplication::processEvents();
            QCOMPARE(shown->findChild<QLabel *>("lblFit(0)")->text(), QString(kFlatUp).replace("UP", "RIGHT"));
        }
        centreOnScreen(shown.get());
        QVERIFY2(shown->screen()->availableGeometry().contains(shown->geometry()), "it is beyond the screen");
        for (QWidget *control : shown->findChildren<QWidget *>()) {
            const auto *label = qobject_cast<QLabel *>(control);
            // Qt's own inner widgets, and the empty labels, show nothing of their own.
            if (control->objectName().isEmpty() || control->objectName().startsWith("qt_")
                || (label && label->text().isEmpty() && label->pixmap().isNull()))
                continue;
            const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName() + " has no name"));
            QVERIFY2(captionFits(control), qPrintable(control->objectName() + " is cut"));
            QVERIFY2(window != "frm_size" || !control->accessibleDescription().isEmpty(),
                     qPrintable(control->objectName() + " is not described"));
            if (!label || !label->text().isEmpty())
                QVERIFY2(contrast(control) >= 3, qPrintable(control->objectName() + " cannot be read"));
        }
    }

    void init()
    {
        folder = std::make_unique<PartFolder>();
        folder->write("wing.afp", kPart);
        // The help window must never read a help file beside the parts.
        for (const char *name : {"b.afp", "C.AFP", "notes.txt", "d.afp.bak", ".hidden.afp", "Morvanehlp.txt"})
            folder->write(name, kPart);
        QVERIFY(QDir(folder->path()).mkdir("folder.afp") && QDir::setCurrent(folder->path()));
        window = std::make_unique<frm_main>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        QApplication::closeAllWindows();
        setHelpFile("-");
        // The window watches its folder: on Windows a folder watched cannot go.
        window.reset();
        folder.reset();
        const QStringList cut = std::exchange(cutBoxes, {});
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
    }

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
        // Only part files, in any case.
        QStringList parts{"b.afp", "C.AFP", "wing.afp"};
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

    // Parts of the longest names, and names that are not UTF-8, beside
    // their twins whose bytes are those of U+FFFD or not: what the list
    // shows, whether Execute makes the new file, and each message whole on
    // the screen (the messages' words are tested above).
    void namedParts_data()
    {
        QTest::addColumn<QByteArray>("part"); // the window starts in its folder
        QTest::addColumn<QByteArray>("bytes"); // "-": removed once selected; "/": a folder where the new file goes
        QTest::addColumn<QString>("right");
        QTest::addColumn<bool>("twin"); // beside whichever name is not UTF-8
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<bool>("made");
        const QByteArray longest = "sub/" + QByteArray(246, 'n') + ".afp"; // the new name 255 bytes
        const QStringList shown{longest.sliced(4)};
        QTest::newRow("longest") << longest << kPart << "1" << false << shown << true;
        QTest::newRow("not a number") << longest << kPart << QString(199, '9') + "x" << false << shown << false;
        for (const auto &[tag, bytes] : {std::pair{"not found", "-"}, {"no header", "no\r\n"}, {"in the way", "/"}})
            QTest::newRow(tag) << longest << QByteArray(bytes) << "1" << false << shown << false;
#ifndef _WIN32
        const QByteArray latin = QByteArray(246, '\xE9') + ".afp", inFolder = "g\xE9/wing.afp", part = "sub/g\xE9.afp";
        const QStringList latinShown{QStringLiteral("g\uFFFD.afp")}, none;
        QTest::newRow("not UTF-8, in the way")
            << "sub/" + latin << QByteArray("/") << "1" << false << QStringList{QFile::decodeName(latin)} << false;
        QTest::newRow("folder") << inFolder << kPart << "1" << false << QStringList{"wing.afp"} << true;
        QTest::newRow("folder beside its twin") << inFolder << kPart << "1" << true << none << false;
        QTest::newRow("part") << part << kPart << "1" << false << latinShown << true;
        QTest::newRow("part beside its twin") << part << kPart << "1" << true << latinShown + latinShown << false;
#endif
    }
    void namedParts()
    {
        QFETCH(QByteArray, part);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, right);
        QFETCH(bool, twin);
        QFETCH(bool, made);
        const QByteArray twinPart = QByteArray(part).replace("\xE9", "\xEF\xBF\xBD");
        for (const QByteArray &path : twin ? QList{part, twinPart} : QList{part}) {
            std::filesystem::create_directories(folder->systemPath(path).parent_path());
            folder->write(path, bytes.size() == 1 ? kPart : bytes);
        }
        const QByteArray newName = part.chopped(4) + "_new1.afp";
        if (bytes == "/")
            QVERIFY(std::filesystem::create_directory(folder->systemPath(newName)));
        std::filesystem::current_path(folder->systemPath(part).parent_path());
        window = std::make_unique<frm_main>();
        QTEST(listed(), "listed");
        control<QListWidget>("File1")->setCurrentRow(0);
        if (bytes == "-")
            QVERIFY(std::filesystem::remove(folder->systemPath(part)));
        control<QLineEdit>("right_sc")->setText(right);
        QCOMPARE(press("Command2").value(1).startsWith("   File has been created"), made);
        QCOMPARE(folder->read(newName) != "<missing>", made);
        QCOMPARE(folder->read(twinPart.chopped(4) + "_new1.afp") != "<missing>", made && twinPart == part);
    }

    // The help file beside the program, shown as it is, never one elsewhere;
    // nothing but a plain file, and no more of it than a help text needs.
    void help_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "-": no help file
        QTest::addColumn<QString>("shown"); // "<none>": a message box says why
        QTest::newRow("CR LF lines") << QByteArray("First\r\n\r\nThird\r\n") << "First\n\nThird\n";
        QTest::newRow("LF and lone CR") << QByteArray("a\nb\rc") << "a\nb\nc";
        QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9");
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9");
        QTest::newRow("missing") << QByteArray("-") << "ERROR : Help file is missing ! Please reinstall application";
#ifndef _WIN32
        QTest::newRow("a FIFO") << QByteArray("|") << "<none>";
#endif
        // 10,485 lines of 100 bytes fit in 1 MiB; the next is cut off, and
        // with it the second byte of a UTF-8 letter. Where no line ends in
        // the first MiB, the cut comes before that letter.
        const QByteArray line = QByteArray(96, 'x') + "\xC3\xA9\r\n";
        const QString shown = QString(QString(96, 'x') + QStringLiteral("\u00E9\n")).repeated(10485);
        const QString cut = "[The help text is cut here: the file is longer than 1 MiB.]";
        QTest::newRow("longer than 1 MiB") << line.repeated(20000) << shown + cut;
        QTest::newRow("no line in the first MiB")
            << QByteArray(1024 * 1024 - 1, 'x') + "\xC3\xA9 and more" << QString(1024 * 1024 - 1, 'x') + "\n" + cut;
    }
    void help()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        setHelpFile(bytes);
        const auto start = std::chrono::steady_clock::now(); // a wrong file must not freeze the window
        QCOMPARE(press("bt_hlp").value(1).startsWith("The help file "), shown == "<none>");
        QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(10));
        QCOMPARE(helpShownThenClosed(), shown);
    }

    // As Explorer opens a file's properties: only for a part selected, and
    // once; a second time brings the same window up.
    void sizeWindowOpens_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("selected");
        for (const char *how : {"double-click", "context menu", "menu key", "Shift+F10", "Alt+Return", "Alt+Enter"})
            for (const bool selected : {true, false})
                QTest::addRow("%s, %s", how, selected ? "selected" : "none selected") << QString(how) << selected;
    }
    void sizeWindowOpens()
    {
        QFETCH(QString, how);
        QFETCH(bool, selected);
        auto *list = control<QListWidget>("File1");
        if (selected)
            list->setCurrentItem(list->findItems("wing.afp", Qt::MatchExactly).value(0));
        list->setFocus();
        const QPoint at =
            selected ? list->visualItemRect(list->currentItem()).center() : QPoint(10, list->viewport()->height() - 10);
        for (int time = 0; time < 2; ++time) {
            if (how == "double-click") {
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            } else if (how.contains("menu")) {
                const bool mouse = how == "context menu";
                QContextMenuEvent event(mouse ? QContextMenuEvent::Mouse : QContextMenuEvent::Keyboard, at,
                                        list->mapToGlobal(at));
                QApplication::sendEvent(mouse ? list->viewport() : static_cast<QWidget *>(list), &event);
            } else {
                QTest::keyClick(list,
                                how == "Shift+F10"       ? Qt::Key_F10
                                    : how == "Alt+Enter" ? Qt::Key_Enter
                                                         : Qt::Key_Return,
                                how == "Shift+F10" ? Qt::ShiftModifier : Qt::AltModifier);
            }
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                QCOMPARE(menu->actions().value(0)->text(), QStringLiteral("&Size and picture\u2026"));
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        }
        QCOMPARE(sizeWindows().size(), selected ? 1 : 0);
        QCOMPARE(sizeWindow(false) ? sizeWindow(false)->windowTitle() : "",
                 selected ? "wing.afp - Size and picture" : "");
    }

    // What the window shows once the main window's factors and precision
    // are changed: each axis as "smallest|largest|size now|size after".
    void sizeShown_data()
    {
        QTest::addColumn<QByteArray>("part");
        QTest::addColumn<QStringList>("factors");
        QTest::addColumn<bool>("af5");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("status"); // where it has no size
        QTest::addColumn<QStringList>("axes");
        QTest::addColumn<QString>("picture"); // its description
        const QStringList factors{"2", "-1", "0.5"}, none(3, "|||");
        QTest::newRow("AF99, FORE mirrored")
            << kSizedPart << factors << false << "Coordinate lines: 3"
            << ""
            << QStringList{"-0.25|2|2.25|4.5, from -0.5 to 4", "-1|4.12|5.12|5.12, from -4.12 to 1",
                           "3|3|0|0, from 1.5 to 1.5"}
            << "Before: 2.25 RIGHT by 5.12 FORE by 0 UP. After: 4.5 RIGHT by 5.12 FORE by 0 UP.";
        QTest::newRow("AF5") << kSizedPart << factors << true << "Coordinate lines: 3"
                             << ""
                             << QStringList{"-0.2|2|2.2|4.5, from -0.5 to 4", "-1|4.1|5.1|5.1, from -4.1 to 1",
                                            "3|3|0|0, from 1.5 to 1.5"}
                             << "Before: 2.2 RIGHT by 5.1 FORE by 0 UP. After: 4.5 RIGHT by 5.1 FORE by 0 UP.";
        QTest::newRow("FORE not a number")
            << kSizedPart << QStringList{"1", " 1x", "1"} << false << "Coordinate lines: 3"
            << ""
            << QStringList{"-0.25|2|2.25|2.25, from -0.25 to 2", "-1|4.12|5.12|the FORE factor \" 1x\" is not a number",
                           "3|3|0|0, from 3 to 3"}
            << "Before: 2.25 RIGHT by 5.12 FORE by 0 UP.";
        QTest::newRow("failing") << kPart + "\"\",1,x,3\r\n"
                                 << factors << false << "Morvane cannot resize this part:"
                                 << "line 7: the FORE value \"x\" is not a number" << none << "No points to draw.";
        QTest::newRow("removed") << QByteArray("-") << factors << false << "Morvane cannot resize this part:"
                                 << "it was not found in the folder <folder>" << none << "No points to draw.";
        QTest::newRow("no coordinate lines")
            << kPart.first(kPart.indexOf("\"\",1.5")) << factors << false << "Coordinate lines: 0"
            << "The part has no coordinate lines, so it has no size." << none << "No points to draw.";
    }
    void sizeShown()
    {
        QFETCH(QByteArray, part);
        QFETCH(QStringList, factors);
        QFETCH(bool, af5);
        QFETCH(QString, lines);
        QFETCH(QString, status);
        folder->write("wing.afp", part);
        control<QListWidget>("File1")->setCurrentRow(2);
        if (part == "-")
            QVERIFY(QFile::remove(folder->file("wing.afp")));
        QTest::keyClick(window.get(), Qt::Key_Return, Qt::AltModifier);
        frm_size *size = sizeWindow();
        QVERIFY(size);
        auto *wanted = size->findChild<QLineEdit *>("txtWanted(0)");
        QTest::keyClicks(wanted, "5");
        QCOMPARE(wanted->text().isEmpty(), !status.isEmpty()); // no size, nothing to fit
        for (int axis = 0; axis < 3; ++axis)
            control<QLineEdit>(std::array{"right_sc", "fore_sc", "up_sc"}[axis])->setText(factors[axis]);
        control<QRadioButton>(af5 ? "prec_opt(1)" : "prec_opt(0)")->click();
        QStringList axes;
        const std::array columns{"lblSmallest", "lblLargest", "lblSizeNow", "lblSizeAfter"};
        for (const int axis : {0, 1, 2}) {
            QStringList each;
            for (const char *column : columns)
                each << shown(size, QString("%1(%2)").arg(column).arg(axis));
            axes << each.join('|');
        }
        QCoreApplication::processEvents(); // laid out: each heading over its column
        for (int column = 0; column < 4; ++column)
            QCOMPARE(size->findChild<QWidget *>(QString("lblHeading(%1)").arg(column))->x(),
                     size->findChild<QWidget *>(QString("%1(2)").arg(columns[column]))->x());
        QTEST(axes, "axes");
        QCOMPARE(shown(size, "lblLines"), lines);
        status.replace("<folder>", QDir::toNativeSeparators(folder->path()));
        QCOMPARE(size->findChild<QLabel *>("lblStatus")->isVisibleTo(size) ? shown(size, "lblStatus") : "", status);
        QTEST(size->findChild<QWidget *>("picPart")->accessibleDescription(), "picture");
        // In the words Execute has.
        QVERIFY(press("Command2").value(1).contains(": " + status + ". No file was changed.")
                || !status.startsWith("line"));
    }

    // From above, the part after the resize lies where its RIGHT factor
    // takes it: to the left of the part as it is where mirrored. Told by
    // the mean across of the accent's pixels and the text colour's.
    void picture_data()
    {
        QTest::addColumn<QString>("right");
        QTest::addColumn<int>("side"); // -1 left, 1 right, 0 none drawn
        QTest::newRow("mirrored") << "-1" << -1;
        QTest::newRow("doubled") << "2" << 1;
        QTest::newRow("not a number") << "x" << 0;
    }
    void picture()
    {
        QFETCH(QString, right);
        folder->write("wing.afp", kSizedPart);
        control<QListWidget>("File1")->setCurrentRow(2);
        control<QLineEdit>("right_sc")->setText(right);
        QTest::keyClick(window.get(), Qt::Key_Return, Qt::AltModifier);
        QVERIFY(sizeWindow());
        auto *view = sizeWindow()->findChild<QWidget *>("picPart");
        const QImage image = view->grab().toImage();
        const int line = view->fontMetrics().height();
        std::array<double, 2> across{}, count{}; // as it is, after
        for (int y = 2 * line + 12; y < image.height() - line - 12; ++y)
            for (int x = line + 12; x < image.width() / 3 - 12; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                const bool accent = pixel.blue() > pixel.red() + 40;
                if (accent || qGray(pixel.rgb()) < 200)
                    across[accent] += x, ++count[accent];
            }
        QVERIFY(count[0] > 0);
        QFETCH(int, side);
        QCOMPARE(count[1] == 0 ? 0 : across[1] / count[1] < across[0] / count[0] ? -1 : 1, side);
    }

    // The factors that give the sizes wanted, into the main window's boxes;
    // a factor mirrored there stays mirrored. Typed as "axis:text".
    void fitting_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QStringList>("factors");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("wanted"); // the boxes after
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QStringList>("chosen"); // empty: none, the factors kept
        const QStringList ones{"1", "1", "1"}, fine{"", "", kFlatUp};
        QTest::newRow("kept") << true << QStringList{"0", "-1", "1"} << QStringList{"0:4.5"}
                              << QStringList{"4.5", "10.25", "0"} << fine << QStringList{"2", "-2", "2"};
        QTest::newRow("kept, FORE typed")
            << true << ones << QStringList{"1:2.5625"} << QStringList{"1.12", "2.5625", "0"} << fine
            << QStringList{"0.5", "0.5", "0.5"};
        QTest::newRow("each apart") << false << QStringList{"3", "-3", "7"} << QStringList{"0:9", "1:1"}
                                    << QStringList{"9", "1", "0"} << fine
                                    << QStringList{"4", "-0.1951219512195122", "7"};
        QTest::newRow("FORE past the largest number")
            << true << ones << QStringList{"0:1e308"} << QStringList{"1e308", "", "0"} << fine
            << QStringList(3, "4.4444444444444443e+307");
        QTest::newRow("not a number") << true << ones << QStringList{"0:x"} << QStringList{"x", "5.12", "0"}
                                      << QStringList{"the RIGHT size wanted \"x\" is not a number", "", kFlatUp}
                                      << QStringList();
        QTest::newRow("negative, apart")
            << false << ones << QStringList{"1:-1"} << QStringList{"2.25", "-1", "0"}
            << QStringList{"", "the FORE size wanted is negative; to mirror, give a negative factor", kFlatUp}
            << QStringList();
    }
    void fitting()
    {
        QFETCH(bool, keep);
        QFETCH(QStringList, factors);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, chosen);
        folder->write("wing.afp", kSizedPart);
        const std::array boxes{control<QLineEdit>("right_sc"), control<QLineEdit>("fore_sc"),
                               control<QLineEdit>("up_sc")};
        for (int axis = 0; axis < 3; ++axis)
            boxes[axis]->setText(factors[axis]);
        control<QListWidget>("File1")->setCurrentRow(2);
        QTest::keyClick(window.get(), Qt::Key_Return, Qt::AltModifier);
        frm_size *size = sizeWindow();
        QVERIFY(size);
        size->findChild<QCheckBox *>("chkKeep")->setChecked(keep);
        for (const QString &each : typed) {
            auto *box = size->findChild<QLineEdit *>(QString("txtWanted(%1)").arg(each[0]));
            box->selectAll();
            QTest::keyClicks(box, each.mid(2));
        }
        QStringList wanted, notes, after;
        for (const int axis : {0, 1, 2})
            wanted << shown(size, QString("txtWanted(%1)").arg(axis)),
                notes << shown(size, QString("lblFit(%1)").arg(axis));
        QTEST(wanted, "wanted");
        QTEST(notes, "notes");
        size->findChild<QPushButton *>("cmdUse")->click();
        for (QLineEdit *box : boxes)
            after << box->text();
        QCOMPARE(after, chosen.isEmpty() ? factors : chosen);
    }

    // A large part is read while the window answers at once, and closing
    // the window stops the reading.
    void largePart_data()
    {
        QTest::addColumn<QString>("ended"); // how the window goes while the part is read
        QTest::newRow("read to the end") << "";
        QTest::newRow("closed while read") << "closed";
        QTest::newRow("main window gone while read") << "main window gone";
    }
    void largePart()
    {
        QFETCH(QString, ended);
        {
            QFile part(folder->file("wing.afp"));
            QVERIFY(part.open(QIODevice::WriteOnly) && part.write(kPart.first(kPart.indexOf("\"\",1.5"))));
            const QByteArray lines = QByteArray("\"\",12.345,-67.891,3.142\r\n").repeated(40000); // 1 MB
            for (int block = 0; block < 250; ++block)
                QVERIFY(part.write(lines) == lines.size());
        }
        control<QListWidget>("File1")->setCurrentRow(2);
        QTest::keyClick(window.get(), Qt::Key_Return, Qt::AltModifier);
        QPointer<frm_size> size = sizeWindow(false);
        QVERIFY(size);
        // The longest wait between ticks every 10 ms, less the time the
        // window's thread waited for a processor where the system tells: a
        // machine busy with other work is no fault of the window's. An event
        // loop of its own, as QTRY_ sleeps between events.
        QElapsedTimer clock;
        qint64 last = 0, longest = 0, progress = 0, closing = 0, gone = 0; // when the bar came, it was closed, went
        QEventLoop loop;
        connect(size, &QObject::destroyed, &loop, [&] { gone = clock.elapsed(); });
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed() - waitedForProcessor();
            longest = std::max(longest, now - std::exchange(last, now));
            if (!size || (ended.isEmpty() && shown(size, "lblLines") == "Coordinate lines: 10000000"))
                return loop.quit();
            if (!progress && size->findChild<QProgressBar *>()->isVisible())
                progress = clock.elapsed();
            if (clock.elapsed() >= 100 && !closing && !ended.isEmpty()) {
                // Closed while the part is read, or the row fails below.
                closing = shown(size, "lblLines").startsWith("Reading") ? clock.elapsed() : -60000;
                ended == "closed" ? void(size->close()) : window.reset();
            }
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        clock.start();
        last = -waitedForProcessor();
        ticks.start(10);
        loop.exec();
        qInfo("read in %lld ms, gone %lld ms after closing, %lld ms between ticks at most", clock.elapsed(),
              gone - closing, longest);
        QVERIFY(ended.isEmpty() ? shown(size, "lblLines") == "Coordinate lines: 10000000"
                                : !size && gone - closing < 150);
        // Not for a moment, but for a reading that takes a while.
        QVERIFY2(progress == 0 ? !ended.isEmpty() || clock.elapsed() < 600 : progress >= 250,
                 qPrintable(QString("the bar came at %1 ms").arg(progress)));
        // Where the system does not tell the waits for a processor (Windows),
        // each gap holds them, and Wine's own: a looser bound. None under the
        // sanitizer, whose allocator's locks make threads wait on each other
        // for as long as a busy machine keeps the holder from running.
#ifndef __SANITIZE_ADDRESS__
        QVERIFY2(longest <= (QFile::exists("/proc/thread-self/schedstat") ? 50 : 100),
                 qPrintable(QString("the window waited %1 ms").arg(longest)));
#endif
    }

    // One of each; Help reads the file afresh only once closed, and says why
    // where it cannot. The close box closes the main window only, Exit all.
    void helpAboutAndClosing()
    {
        setHelpFile("first\r\n");
        for (const char *button : {"bt_hlp", "bt_about", "bt_hlp", "bt_about"})
            control(button)->click();
        setHelpFile("second\r\n");
        QCOMPARE(openWindows(), QStringList({"frmAbout", "frm_help", "frm_main"}));
        QCOMPARE(helpShownThenClosed(), QStringLiteral("first\n"));
        control("bt_hlp")->click();
        QCOMPARE(helpShownThenClosed(), QStringLiteral("second\n"));
        setHelpFile("/");
        const QStringList box = press("bt_hlp");
        QCOMPARE(box.value(0), morvane::kApplicationTitle);
        QVERIFY2(box.value(1).contains(QDir::toNativeSeparators(frm_help::helpFilePath())), qPrintable(box.value(1)));
        QCOMPARE(openWindows(), QStringList({"frmAbout", "frm_main"}));
        setHelpFile("third\r\n");
        control("bt_hlp")->click();
        window->close();
        QCOMPARE(openWindows(), QStringList({"frmAbout", "frm_help"}));
        control("Command1")->click();
        QCOMPARE(openWindows(), QStringList());
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
