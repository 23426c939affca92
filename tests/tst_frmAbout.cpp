#include "frmAbout.h"
#include "twips.h"

#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestFrmAbout : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void labels_data();
    void labels();
    void captionsFit();
    void etchedRule();
    void closes_data();
    void closes();
    void clicksOnLabelsDoNothing();
};

void TestFrmAbout::layout()
{
    frmAbout window;
    QCOMPARE(window.windowTitle(), QStringLiteral("About AF99 Morvane Application 1.1"));
    QCOMPARE(window.size(), QSize(twips(6660), twips(4455)));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!window.windowIcon().isNull());
    auto *ok = window.findChild<QPushButton *>("cmdOK");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), twipsRect(5040, 3120, 1260, 1065));
    QVERIFY(ok->isDefault());
    auto *icon = window.findChild<QLabel *>("picIcon");
    QCOMPARE(icon->geometry(), twipsRect(240, 240, 540, 540));
    QVERIFY(!icon->pixmap().isNull());
}

void TestFrmAbout::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("underline");
    const QColor blue(0, 0, 255);
    const QColor red(255, 0, 0);
    const QColor usual = QPalette().color(QPalette::WindowText);
    QTest::newRow("lblDescription")
        << "lblDescription"
        << "This application provides resizing or bending parts created under AF5 or AF99 application by Abacus."
        << twipsRect(1050, 2160, 5205, 450) << QColor(0, 0, 0) << 8.25 << true << false;
    QTest::newRow("lblDisclaimer") << "lblDisclaimer" << "Warning:" << twipsRect(720, 3120, 1110, 225) << red << 8.25
                                   << true << false;
    QTest::newRow("lblTitle") << "lblTitle" << "AF99 Morvane Part Application" << twipsRect(1050, 360, 5325, 600)
                              << blue << 18.0 << true << true;
    QTest::newRow("lblVersion") << "lblVersion" << "V1.1 - November 2001." << twipsRect(1050, 1560, 3885, 225)
                                << usual << 8.25 << true << false;
    QTest::newRow("Label1") << "Label1" << "By Morvane team" << twipsRect(1050, 1080, 1575, 255) << blue << 8.25
                            << true << false;
    QTest::newRow("Label2") << "Label2" << "" << twipsRect(720, 3840, 3015, 255) << red << 8.25 << true << false;
    QTest::newRow("Label3") << "Label3" << "" << twipsRect(720, 3480, 3255, 255) << red << 8.25 << true << false;
    QTest::newRow("Label4") << "Label4" << "morvane@example.org" << twipsRect(2880, 1080, 3375, 255) << blue << 8.25
                            << false << true;
}

void TestFrmAbout::labels()
{
    QFETCH(QString, name);
    frmAbout window;
    auto *label = window.findChild<QLabel *>(name);
    QVERIFY(label);
    QTEST(label->text(), "text");
    QTEST(label->geometry(), "rect");
    QTEST(label->palette().color(QPalette::WindowText), "colour");
    QTEST(label->font().pointSizeF(), "points");
    QTEST(label->font().bold(), "bold");
    QTEST(label->font().underline(), "underline");
    QCOMPARE(QFontInfo(label->font()).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void TestFrmAbout::captionsFit()
{
    frmAbout window;
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        const QFontMetrics metrics(label->font());
        if (label->wordWrap()) {
            const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap,
                                                      label->text());
            QVERIFY2(needed.height() <= label->height(), qPrintable(label->objectName()));
        } else {
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->objectName()));
        }
    }
}

void TestFrmAbout::etchedRule()
{
    frmAbout window;
    const QImage image = window.grab().toImage();
    const int y = twips(2880);
    const QColor grey(128, 128, 128);
    const QColor white(255, 255, 255);
    for (const int x : {twips(800), twips(3000), twips(6254)}) {
        QCOMPARE(image.pixelColor(x, y), grey);
        QCOMPARE(image.pixelColor(x, y + 1), white);
        QVERIFY(image.pixelColor(x, y + 2) != white);
    }
    // The grey line starts a pixel before the white one.
    QCOMPARE(image.pixelColor(twips(690), y), grey);
    QVERIFY(image.pixelColor(twips(690), y + 1) != white);
    QVERIFY(image.pixelColor(twips(690) - 1, y) != grey);
}

void TestFrmAbout::closes_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("click") << 0;
}

void TestFrmAbout::closes()
{
    QFETCH(int, key);
    QPointer<frmAbout> window = new frmAbout;
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    if (key)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    else
        QTest::mouseClick(window->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QTRY_VERIFY(!window || !window->isVisible());
    QTRY_VERIFY(!window);
}

void TestFrmAbout::clicksOnLabelsDoNothing()
{
    frmAbout window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int windowsBefore = QApplication::topLevelWidgets().size();
    for (QLabel *label : window.findChildren<QLabel *>()) {
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::mouseDClick(label, Qt::LeftButton);
    }
    QTest::qWait(50);
    QVERIFY(window.isVisible());
    QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
    QCOMPARE(window.findChild<QLabel *>("Label4")->text(), QStringLiteral("morvane@example.org"));
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmAbout.moc"
