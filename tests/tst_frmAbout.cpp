#include "ui/frmAbout.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestFrmAbout : public QObject {
    Q_OBJECT

private slots:
    void closes_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("click") << 0;
    }
    void closes()
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
        QTRY_VERIFY(!window);
    }

    // Labels only show their text, whole, and take no clicks.
    void labelsFitAndDoNothing()
    {
        frmAbout window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const int windows = QApplication::topLevelWidgets().size();
        for (QLabel *label : window.findChildren<QLabel *>()) {
            const QRect needed = QFontMetrics(label->font())
                                     .boundingRect(QRect(0, 0, label->width(), 1000),
                                                   label->wordWrap() ? Qt::TextWordWrap : 0, label->text());
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                     qPrintable(label->objectName()));
            QTest::mouseClick(label, Qt::LeftButton);
            QTest::mouseDClick(label, Qt::LeftButton);
        }
        QTest::qWait(50);
        QVERIFY(window.isVisible());
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmAbout.moc"
