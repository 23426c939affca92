// What every control of every window owes its user whatever the desktop:
// its caption whole, its text readable under any palette, and a name that a
// screen reader can speak.

#include "ui/frmAbout.h"
#include "ui/frm_help.h"
#include "ui/frm_main.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include <cmath>

namespace {

bool captionFits(const QWidget *control)
{
    const QFontMetrics metrics(control->font());
    const QStyle *style = control->style();
    QString caption = control->property("text").toString() + control->property("title").toString();
    int room = control->width();
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        const int flags = Qt::TextShowMnemonic | (label->wordWrap() ? Qt::TextWordWrap : 0);
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

std::unique_ptr<QWidget> makeWindow(const QString &name)
{
    if (name == "frm_main")
        return std::make_unique<frm_main>();
    if (name == "frm_help")
        return std::make_unique<frm_help>();
    return std::make_unique<frmAbout>();
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

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
            for (const char *window : {"frm_main", "frm_help", "frmAbout"})
                QTest::addRow("%s, %s", name, window) << palette << QString(window);
    }
    void everyControlWholeReadableAndNamed()
    {
        QFETCH(QPalette, palette);
        QFETCH(QString, window);
        QApplication::setPalette(palette);
        const std::unique_ptr<QWidget> shown = makeWindow(window);
        for (QWidget *control : shown->findChildren<QWidget *>()) {
            const auto *label = qobject_cast<QLabel *>(control);
            // Qt's own inner widgets, and the empty labels, show nothing of their own.
            if (control->objectName().isEmpty() || control->objectName().startsWith("qt_")
                || (label && label->text().isEmpty() && label->pixmap().isNull()))
                continue;
            const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName() + " has no name"));
            QVERIFY2(captionFits(control), qPrintable(control->objectName() + " is cut"));
            if (!label || !label->text().isEmpty())
                QVERIFY2(contrast(control) >= 3, qPrintable(control->objectName() + " cannot be read"));
        }
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
