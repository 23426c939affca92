#include "tests/part_folder.h"

#include <QDirIterator>
#include <QProcess>
#include <QTest>

class TestMorvaneResize : public QObject {
    Q_OBJECT

private slots:
    // In a folder holding parts/wing.afp, a.afp, b.afp (broken at line 7),
    // WING.AFP and notes.txt: the arguments, then the exit status, standard
    // output, a piece of standard error, and the new wing file when one is made.
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArray>("coordinates");
        const QStringList wing = {"parts/wing.afp"};
        const QString made = "parts/wing_new1.afp\n";
        QTest::newRow("defaults") << wing << 0 << made << "" << QByteArray(R"("",1.23,-2.5,3.3)");
        QTest::newRow("factors") << QStringList{"--right", "2", "--fore", "1.00", "--up", "0.5"} + wing << 0 << made
                                 << "" << QByteArray(R"("",2.47,-2.5,1.65)");
        QTest::newRow("AF5 in any case") << QStringList{"--precision=af5", "--right", "2", "--up", "0.5"} + wing << 0
                                         << made << "" << QByteArray(R"("",2.5,-2.5,1.6)");
        QTest::newRow("negative factors") << QStringList{"--right", "-1", "--fore=-2", "--precision", "Af99"} + wing
                                          << 0 << made << "" << QByteArray(R"("",-1.23,5,3.3)");
        QTest::newRow("factor text as given")
            << QStringList{"--up", " x"} + wing << 1 << ""
            << "morvane-resize: parts/wing.afp: line 6: the UP factor \" x\" is not a number\n"
            << QByteArray();
        QTest::newRow("one failing in the middle")
            << QStringList{"a.afp", "b.afp", "WING.AFP"} << 1 << "a_new1.afp\nWING_new1.afp\n"
            << "morvane-resize: b.afp: line 7: the line holds 2 fields after \"\", where a coordinate line holds 3\n"
            << QByteArray();
        QTest::newRow("not a part file") << QStringList{"notes.txt", "a.afp"} << 1 << "a_new1.afp\n"
                                         << "morvane-resize: notes.txt: it is not a part file (.afp)\n"
                                         << QByteArray();
        QTest::newRow("missing file") << QStringList{"gone.afp"} << 1 << ""
                                      << "morvane-resize: gone.afp: it was not found in /" << QByteArray();
        QTest::newRow("no file name") << QStringList{"parts/"} << 1 << ""
                                      << "morvane-resize: parts/: it is not a part file (.afp)\n"
                                      << QByteArray();
        QTest::newRow("no file") << QStringList{"--right", "2"} << 2 << ""
                                 << "no FILE given" << QByteArray();
        QTest::newRow("unknown option") << QStringList{"--left", "2"} + wing << 2 << ""
                                        << "Unknown option 'left'" << QByteArray();
        QTest::newRow("missing value") << wing + QStringList{"--up"} << 2 << ""
                                       << "Missing value after '--up'" << QByteArray();
        QTest::newRow("bad precision") << QStringList{"--precision", "AF7"} + wing << 2 << ""
                                       << "--precision takes AF99 or AF5, not \"AF7\"" << QByteArray();
        QTest::newRow("version") << QStringList{"--version"} << 0 << "morvane-resize 1.1\n"
                                 << "" << QByteArray();
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QByteArray, coordinates);
        const QByteArray part = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.234,-2.5,3.3\r\n";
        PartFolder folder;
        QVERIFY(QDir(folder.path()).mkdir("parts"));
        for (const char *name : {"parts/wing.afp", "a.afp", "WING.AFP", "notes.txt"})
            folder.write(name, part);
        folder.write("b.afp", part + "\"\",1,2\r\n");
        const auto fileCount = [&] {
            int count = 0;
            for (QDirIterator it(folder.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();
                 it.next())
                ++count;
            return count;
        };
        const int before = fileCount();

        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.start(QStringLiteral(MORVANE_RESIZE), arguments);
        QVERIFY(process.waitForFinished() && process.exitStatus() == QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        QCOMPARE(QString(process.readAllStandardOutput()), out);
        const QString said = process.readAllStandardError();
        QVERIFY2(err.isEmpty() ? said.isEmpty() : said.contains(err), qPrintable(said));
        const QStringList made = out.split('\n', Qt::SkipEmptyParts).filter(".afp");
        for (const QString &path : made)
            QVERIFY2(folder.read(path).startsWith("\"\",\""), qPrintable(path));
        if (!coordinates.isEmpty())
            QCOMPARE(folder.read("parts/wing_new1.afp"),
                     "\"\",\"wing_new1\",\"metal-Resized\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n" + coordinates + "\r\n");
        QCOMPARE(fileCount(), before + made.size());
    }

    // Bytes that QProcess cannot pass, and redirections, through sh: $0 is
    // the program, run in a folder holding w\xE9.afp and its UTF-8 twin.
    void throughTheShell_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("name not UTF-8") << QByteArray(R"sh(exec "$0" "$(printf 'w\351.afp')")sh") << 0
                                        << QByteArray("w\xE9_new1.afp\n") << QByteArray();
        QTest::newRow("its twin") << QByteArray(R"sh(exec "$0" "$(printf 'w\357\277\275.afp')")sh") << 0
                                  << QByteArray("w\xEF\xBF\xBD_new1.afp\n") << QByteArray();
        QTest::newRow("missing, not UTF-8")
            << QByteArray(R"sh(exec "$0" "$(printf 'x\351.afp')")sh") << 1 << QByteArray()
            << QByteArray("morvane-resize: x\xE9.afp: it was not found in ");
        QTest::newRow("output full") << QByteArray(R"sh(exec "$0" "$(printf 'w\351.afp')" >/dev/full)sh") << 1
                                     << QByteArray()
                                     << QByteArray("morvane-resize: write error: No space left on device\n");
        QTest::newRow("version to a full output") << QByteArray(R"sh(exec "$0" --version >/dev/full)sh") << 1
                                                  << QByteArray() << QByteArray("morvane-resize: write error: ");
    }

    void throughTheShell()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const QByteArray part = "\"\",\"w\",\"metal\"\r\n";
        PartFolder folder;
        folder.writeRaw("w\xE9.afp", part);
        folder.writeRaw("w\xEF\xBF\xBD.afp", part + "twin\r\n");
        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.start("/bin/sh", {"-c", QString::fromLatin1(script), QStringLiteral(MORVANE_RESIZE)});
        QVERIFY(process.waitForFinished());
        QTEST(process.exitCode(), "status");
        QCOMPARE(process.readAllStandardOutput(), out);
        const QByteArray said = process.readAllStandardError();
        QVERIFY2(err.isEmpty() ? said.isEmpty() : said.startsWith(err), said.constData());
        if (!out.isEmpty())
            QVERIFY(folder.readRaw(out.chopped(1)).startsWith("\"\",\"" + out.chopped(5) + "\","));
        QCOMPARE(folder.readRaw("w\xEF\xBF\xBD.afp"), part + "twin\r\n");
        QCOMPARE(folder.readRaw("w\xE9.afp"), part);
    }
};

QTEST_GUILESS_MAIN(TestMorvaneResize)
#include "tst_morvane_resize.moc"
