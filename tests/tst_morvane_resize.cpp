// morvane-resize through sh, so that arguments can be any bytes and output
// can go anywhere: in a folder holding parts/wing.afp, a.afp, b.afp (broken
// at line 7), WING.AFP, notes.txt, w\xE9.afp (not UTF-8) and its UTF-8 twin.

#include "tests/part_folder.h"

#include <QProcess>
#include <QTest>

#include <algorithm>
#include <filesystem>

class TestMorvaneResize : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QByteArray>("script"); // $0 is the program
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err"); // how standard error begins
        QTest::addColumn<QByteArray>("line6"); // of parts/wing_new1.afp, where made
        const auto row = [](const char *tag, const char *script, int status, const QByteArray &out,
                            const QByteArray &err, const QByteArray &line6 = {}) {
            QTest::newRow(tag) << QByteArray(script) << status << out << err << line6;
        };
        const QByteArray made = "parts/wing_new1.afp\n";
        row("defaults", R"("$0" parts/wing.afp)", 0, made, "", R"("",1.23,-2.5,3.3)");
        row("factors", R"("$0" --right 2 --fore 1.00 --up 0.5 parts/wing.afp)", 0, made, "", R"("",2.47,-2.5,1.65)");
        row("AF5 in any case", R"("$0" --precision=af5 --right 2 --up 0.5 parts/wing.afp)", 0, made, "",
            R"("",2.5,-2.5,1.6)");
        row("negative factors", R"("$0" --right -1 --fore=-2 --precision Af99 parts/wing.afp)", 0, made, "",
            R"("",-1.23,5,3.3)");
        row("factor text as given", R"("$0" --up " x" parts/wing.afp)", 1, "",
            "morvane-resize: parts/wing.afp: line 6: the UP factor \" x\" is not a number\n");
        row("one failing in the middle", R"("$0" a.afp b.afp WING.AFP)", 1, "a_new1.afp\nWING_new1.afp\n",
            "morvane-resize: b.afp: line 7: the line holds 2 fields after \"\", where a coordinate line holds 3\n");
        row("not a part file", R"("$0" notes.txt a.afp)", 1, "a_new1.afp\n",
            "morvane-resize: notes.txt: it is not a part file (.afp)\n");
        row("no file name", R"("$0" parts/)", 1, "", "morvane-resize: parts/: it is not a part file (.afp)\n");
        row("missing file", R"("$0" gone.afp)", 1, "", "morvane-resize: gone.afp: it was not found in /");
        row("name not UTF-8", R"sh("$0" "$(printf 'w\351.afp')")sh", 0, "w\xE9_new1.afp\n", "");
        row("its twin", R"sh("$0" "$(printf 'w\357\277\275.afp')")sh", 0, "w\xEF\xBF\xBD_new1.afp\n", "");
        row("missing, not UTF-8", R"sh("$0" "$(printf 'x\351.afp')")sh", 1, "",
            "morvane-resize: x\xE9.afp: it was not found in /");
        // It makes a_new1.afp but cannot say so.
        row("output full", R"("$0" a.afp >/dev/full)", 1, "", "morvane-resize: write error: No space left on device\n");
        row("no FILE", R"("$0" --right 2)", 2, "", "morvane-resize: no FILE given.\n");
        row("unknown option", R"("$0" --left 2 a.afp)", 2, "", "morvane-resize: Unknown option 'left'.");
        row("missing value", R"("$0" a.afp --up)", 2, "", "morvane-resize: Missing value after '--up'.");
        row("bad precision", R"("$0" --precision AF7 a.afp)", 2, "",
            "morvane-resize: --precision takes AF99 or AF5, not \"AF7\".");
        row("version", R"("$0" --version)", 0, "morvane-resize 1.1\n", "");
        row("version to a full output", R"("$0" --version >/dev/full)", 1, "", "morvane-resize: write error: ");
    }

    void runs()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(QByteArray, line6);
        // Each part's label is its own path, to tell which one was resized.
        const auto part = [](const QByteArray &path) {
            return "\"\",\"wing\",\"" + path + "\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.234,-2.5,3.3\r\n";
        };
        PartFolder folder;
        QVERIFY(QDir(folder.path()).mkdir("parts"));
        for (const char *name : {"parts/wing.afp", "a.afp", "WING.AFP", "notes.txt", "w\xE9.afp", "w\xEF\xBF\xBD.afp"})
            folder.write(name, part(name));
        folder.write("b.afp", part("b.afp") + "\"\",1,2\r\n");
        const auto files = [&] {
            const std::filesystem::recursive_directory_iterator all(QFile::encodeName(folder.path()).toStdString());
            return int(std::count_if(begin(all), end(all), [](const auto &entry) { return entry.is_regular_file(); }));
        };
        const int before = files();

        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.start("/bin/sh", {"-c", QString::fromLatin1(script), QStringLiteral(MORVANE_RESIZE)});
        QVERIFY(process.waitForFinished() && process.exitStatus() == QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        QCOMPARE(process.readAllStandardOutput(), out);
        const QByteArray said = process.readAllStandardError();
        QVERIFY2(said.startsWith(err) && (!err.isEmpty() || said.isEmpty()), said.constData());
        // Each new file is its own part's, its new name's bytes in its header.
        int made = 0;
        for (const QByteArray &path : out.split('\n')) {
            if (!path.endsWith(".afp"))
                continue;
            ++made;
            const QByteArray header = "\"\",\"" + path.mid(path.lastIndexOf('/') + 1).chopped(4) + "\",\"";
            QVERIFY(folder.read(path).startsWith(header + path.chopped(9) + '.'));
        }
        if (!line6.isEmpty())
            QCOMPARE(folder.read("parts/wing_new1.afp").split('\n').value(5), line6 + '\r');
        QCOMPARE(files(), before + made + QByteArray(QTest::currentDataTag()).startsWith("output full"));
    }
};

QTEST_GUILESS_MAIN(TestMorvaneResize)
#include "tst_morvane_resize.moc"
