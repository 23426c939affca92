// The resize run on real files: every source ends in the right file or in a
// clear failure that changes nothing in the folder.

#include "core/resize_run.h"
#include "tests/part_folder.h"
#include "ui/application_title.h"

#include <QElapsedTimer>
#include <QTest>

using namespace morvane;

Q_DECLARE_METATYPE(morvane::ErrorKind)

namespace {

const QByteArray kHeader = "\"\",\"wing\",\"metal\"\r\n";
const QByteArray kNewHeader = "\"\",\"wing_new1\",\"metal-Resized\"\r\n";
const QByteArray kKept = "l2\r\nl3\r\nl4\r\nl5\r\n";

ResizeOutcome failure(ErrorKind kind, std::optional<std::uint64_t> line) { return Failed{{kind, {}, line, {}}}; }

} // namespace

class TestResizeRun : public QObject {
    Q_OBJECT

private slots:
    void messages_data()
    {
        QTest::addColumn<ResizeOutcome>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("none selected") << ResizeOutcome(NoFileSelected{}) << "Please select a file !";
        QTest::newRow("created") << ResizeOutcome(Created{
            "wing_new1.afp"}) << "   File has been created succesfuly !  \r\r   New file's name is : wing_new1.afp   ";
        QTest::newRow("failed on a line")
            << ResizeOutcome(Failed{{ErrorKind::TypeMismatch, "wing.afp", 7, "the FORE value \"x\" is not a number"}})
            << "Could not resize wing.afp: line 7: the FORE value \"x\" is not a number. No file was changed.";
        QTest::newRow("failed on the file")
            << ResizeOutcome(Failed{{ErrorKind::FileNotFound, "wing.afp", std::nullopt, "it was not found in /p"}})
            << "Could not resize wing.afp: it was not found in /p. No file was changed.";
    }

    void messages()
    {
        QFETCH(ResizeOutcome, outcome);
        QTEST(outcomeMessage(outcome), "message");
        QCOMPARE(QString(kApplicationTitle), QStringLiteral("AF99 Morvane Part 1.1"));
    }

    void runs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<ResizeSettings>("settings");
        QTest::addColumn<QByteArray>("result"); // what the new file holds, when the run succeeds
        QTest::addColumn<ResizeOutcome>("failed"); // the kind and line, when it fails
        const ResizeSettings unit;
        const ResizeSettings example{"2", "1.00", "0.5", PrecisionMode::AF99};
        const QByteArray start = kHeader + kKept;
        const QByteArray done = kNewHeader + kKept;
        const QByteArray big(50 * 1024 * 1024, 'x');
        const auto ok = [&](const char *tag, const QByteArray &source, const QByteArray &result,
                            const ResizeSettings &settings, const QString &name = "wing.afp") {
            QTest::newRow(tag) << name << source << settings << result << ResizeOutcome(NoFileSelected{});
        };
        const auto fails = [&](const char *tag, const QByteArray &source, ErrorKind kind, int line,
                               const ResizeSettings &settings) {
            QTest::newRow(tag) << "wing.afp" << source << settings << QByteArray() << failure(kind, line);
        };
        ok("worked example, mixed line ends",
           kHeader + "\"\",1,2,3\n" + bytes("kept \xE9\0 bytes\n")
               + "l4\r\nl5\n\"\",1.234,-2.5,3.3\r\n\"\",0.125,0.375,1e1",
           kNewHeader + "\"\",1,2,3\r\n" + bytes("kept \xE9\0 bytes\r\n")
               + "l4\r\nl5\r\n\"\",2.47,-2.5,1.65\r\n\"\",0.25,0.38,5\r\n",
           example);
        ok("empty file", "", "", unit);
        ok("header without a line end", kHeader.chopped(2), kNewHeader, unit);
        ok("five lines whatever the factors", start, done, {"abc", "", "1,5", PrecisionMode::AF5});
        ok("lone CR kept", kHeader + "a\rb\r\n", kNewHeader + "a\rb\r\n", unit);
        ok("NUL in the label", bytes("\"\",\"wing\",\"me\0tal\"\r\n"),
           bytes("\"\",\"wing_new1\",\"me\0tal-Resized\"\r\n"), unit);
        ok("a kept line of 50 MB", kHeader + big + "\r\n", kNewHeader + big + "\r\n", unit);
        ok("1e308 and 1e-320", start + "\"\",1e308,1e-320,-1e308\r\n", done + "\"\",1E+308,0,-1E+308\r\n", unit);
        ok("upper case name", kHeader, "\"\",\"WING_new1\",\"metal-Resized\"\r\n", unit, "WING.AFP");
        ok("a result resized again", "\"\",\"wing_new1\",\"metal\"", "\"\",\"wing_new1_new1\",\"metal-Resized\"\r\n",
           unit, "wing_new1.afp");
        ok("blank in the name", "\"\",\"left wing\",\"\"", "\"\",\"left wing_new1\",\"\"\r\n", unit, "left wing.afp");
        QByteArray lines = start;
        QByteArray turned = done;
        for (int i = 0; i < 40000; ++i) {
            lines += "\"\",1.5,-2.25,3\r\n";
            turned += "\"\",3,-4.5,6\r\n";
        }
        ok("lines across read blocks", lines + "\"\", " + QByteArray(300 * 1024, ' ') + "1,2,3",
           turned + "\"\",2,4,6\r\n", {"2", "2", "2", PrecisionMode::AF99});

        fails("bad factor at line 6", start + "\"\",1,2,3\r\n", ErrorKind::TypeMismatch, 6, {"1", "x", "1"});
        fails("bad field later", start + "\"\",1,2,3\r\n\"\",1,2,3\r\n\"\",1,two,3\r\n", ErrorKind::TypeMismatch, 8,
              unit);
        fails("NUL in a number", start + bytes("\"\",1,2\0,3\r\n"), ErrorKind::TypeMismatch, 6, unit);
        fails("lone CR after a number", start + "\"\",1,2,3\r\r\n", ErrorKind::TypeMismatch, 6, unit);
        fails("four numbers", start + "\"\",1,2,3,4\r\n", ErrorKind::InvalidArgument, 6, unit);
        fails("a hundred commas", start + "\"\"," + QByteArray(100, ',') + "\r\n", ErrorKind::InvalidArgument, 6, unit);
        fails("no empty field", start + "1234,2,3\r\n", ErrorKind::InvalidArgument, 6, unit);
        fails("trailing empty line", start + "\"\",1,2,3\r\n\r\n", ErrorKind::InvalidArgument, 7, unit);
        fails("product overflows", start + "\"\",1e308,1,1\r\n", ErrorKind::Overflow, 6, {"10", "1", "1"});
        fails("no header", "no header\r\n" + kKept, ErrorKind::InvalidArgument, 1, unit);
        fails("only line ends", "\r\n\n\r\n", ErrorKind::InvalidArgument, 1, unit);
        fails("header of 40,000 characters", "\"\",\"wing\",\"" + QByteArray(39989, 'x') + "\"\r\n",
              ErrorKind::Overflow, 1, unit);
        fails("header of 50 MB", "\"\",\"wing\",\"" + big + "\"\r\n", ErrorKind::Overflow, 1, unit);
    }

    void runs()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, source);
        QFETCH(ResizeSettings, settings);
        QFETCH(QByteArray, result);
        QFETCH(ResizeOutcome, failed);
        const Scene scene(name, source);
        QElapsedTimer timer;
        timer.start();
        const ResizeOutcome outcome = runResize(scene.folder.path(), name, settings);
        QVERIFY(timer.elapsed() < 20000);
        if (const auto *expected = std::get_if<Failed>(&failed)) {
            const auto *error = std::get_if<Failed>(&outcome);
            QVERIFY2(error, qPrintable(outcomeMessage(outcome)));
            QCOMPARE(error->error.kind, expected->error.kind);
            QCOMPARE(error->error.line, expected->error.line);
            QVERIFY(outcomeMessage(outcome).startsWith(QStringLiteral("Could not resize %1: line ").arg(name)));
            QVERIFY(outcomeMessage(outcome).size() < 300);
            QVERIFY(scene.kept());
            QCOMPARE(scene.leftOver(), QStringList());
            return;
        }
        QVERIFY2(std::holds_alternative<Created>(outcome), qPrintable(outcomeMessage(outcome).left(300)));
        QCOMPARE(std::get<Created>(outcome).newFileName, newFileNameFor(name));
        QVERIFY(scene.folder.read(newFileNameFor(name)) == result);
        QCOMPARE(scene.folder.read(name), source);
        QCOMPARE(scene.folder.entries().size(), 2);
    }

    void refusesWhatItCannotResize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ResizeOutcome>("failed");
        QTest::newRow("nothing selected") << "" << ResizeOutcome(NoFileSelected{});
        QTest::newRow("not a part file") << "wing.txt" << failure(ErrorKind::InvalidArgument, {});
        QTest::newRow("a path") << "../wing.afp" << failure(ErrorKind::InvalidArgument, {});
        QTest::newRow("vanished") << "gone.afp" << failure(ErrorKind::FileNotFound, {});
        QTest::newRow("a folder") << "folder.afp" << failure(ErrorKind::PathError, {});
        QTest::newRow("a folder in the way") << "wing.afp" << failure(ErrorKind::PathError, {});
        QTest::newRow("the result a link to the source") << "link.afp" << failure(ErrorKind::PathError, {});
    }

    void refusesWhatItCannotResize()
    {
        QFETCH(QString, name);
        QFETCH(ResizeOutcome, failed);
        PartFolder folder;
        folder.write("wing.txt", kHeader);
        folder.write("wing.afp", kHeader);
        QVERIFY(QDir(folder.path()).mkpath("folder.afp") && QDir(folder.path()).mkpath("wing_new1.afp"));
        folder.write("link.afp", kHeader);
        QVERIFY(QFile::link("link.afp", folder.file("link_new1.afp")));
        const QStringList before = folder.entries();
        const ResizeOutcome outcome = runResize(folder.path(), name, {});
        QCOMPARE(outcome.index(), failed.index());
        if (const auto *expected = std::get_if<Failed>(&failed)) {
            QCOMPARE(std::get<Failed>(outcome).error.kind, expected->error.kind);
            QVERIFY(outcomeMessage(outcome).startsWith("Could not resize " + name + ": "));
        }
        QCOMPARE(folder.entries(), before);
        QCOMPARE(folder.read("wing.afp"), kHeader);
        QCOMPARE(folder.read("link.afp"), kHeader);
    }
};

QTEST_GUILESS_MAIN(TestResizeRun)
#include "tst_resize_run.moc"
