// morvane-resize.exe as a Windows user meets it: wide names, wildcards the
// command expands itself, names of any letter case, the system's code page
// in the header, and backslashes in paths.

#include "tests/part_folder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

const QByteArray kPart = "\"\",\"x\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.234,-2.5,3.3\r\n";

class TestCommandWindows : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // how standard error begins
        QTest::addColumn<QString>("made"); // a new file, and its header's name in the code page
        QTest::addColumn<QByteArray>("header");
        const auto row = [](const char *tag, const QStringList &arguments, int status, const QString &out,
                            const QString &err, const QString &made = {}, const QByteArray &header = {}) {
            QTest::newRow(tag) << arguments << status << out << err << made << header;
        };
        row("wildcards, in name order", {"--right", "2", "?.afp"}, 0, "a_new1.afp\nb_new1.afp\n", "", "b_new1.afp",
            "b_new1");
        row("no match", {"*.xyz"}, 1, "", "morvane-resize: *.xyz: it is not a part file (.afp)");
        row("backslashes", {"parts\\wing.afp"}, 0, "parts\\wing_new1.afp\n", "", "parts/wing_new1.afp", "wing_new1");
        row("a name in the code page", {QStringLiteral("w\u00EFng.afp")}, 0, QStringLiteral("w\u00EFng_new1.afp\n"), "",
            QStringLiteral("w\u00EFng_new1.afp"), "w\xEFng_new1");
        row("a name outside it", {QStringLiteral("w\u03A9.afp")}, 1, "",
            QStringLiteral("morvane-resize: w\u03A9.afp: its name cannot be written in the system's 8-bit code page"));
        row("one file in two cases", {"a.afp", "A.AFP"}, 1, "a_new1.afp\n",
            "morvane-resize: A.AFP: will not overwrite just-created A_new1.afp, made from a.afp");
        row("an earlier result in another case", {"b.afp"}, 0, "b_new1.afp\n", "", "B_NEW1.AFP", "b_new1");
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, made);
        PartFolder folder;
        QVERIFY(QDir(folder.path()).mkdir("parts"));
        for (const QString &name :
             QStringList{"a.afp", "b.afp", "wing.afp", "parts/wing.afp", "w\u00EFng.afp", "w\u03A9.afp"})
            folder.write(name, kPart);
        folder.write("B_NEW1.AFP", "an earlier result\r\n");
        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.start(QCoreApplication::applicationDirPath() + "/" MORVANE_RESIZE, arguments);
        QVERIFY(process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        // Lines end in CR LF, as text files and pipes take them on Windows.
        QTEST(QString::fromUtf8(process.readAllStandardOutput()).remove(u'\r'), "out");
        const QString said = QString::fromUtf8(process.readAllStandardError()).remove(u'\r');
        QFETCH(QString, err);
        QVERIFY2(err.isEmpty() ? said.isEmpty() : said.startsWith(err), qPrintable(said));
        if (!made.isEmpty())
            QTEST(folder.read(made).split('"').value(3), "header");
    }
};

QTEST_GUILESS_MAIN(TestCommandWindows)
#include "tst_command_windows.moc"
