// The resize run on real files: every source ends in the right file or in a
// clear failure that changes nothing in the folder.

#include "core/line_reader.h"
#include "core/part_file_names.h"
#include "core/resize_run.h"
#include "tests/part_folder.h"

#include <QTest>

#include <climits>
#include <sys/stat.h>

using namespace morvane;

using Fails = std::optional<morvane::ErrorKind>; // with that kind, or not at all
Q_DECLARE_METATYPE(Fails)

namespace {

const QByteArray kHeader = "\"\",\"wing\",\"metal\"\r\n";
const QByteArray kNewHeader = "\"\",\"wing_new1\",\"metal-Resized\"\r\n";
const QByteArray kKept = "l2\r\nl3\r\nl4\r\nl5\r\n";
constexpr std::size_t kBlock = LineReader::kBlockSize; // what the run reads at a time

// A run or a listing must give back every descriptor it opened, or a window
// open for days runs out.
int openDescriptors() { return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size()); }

} // namespace

class TestResizeRun : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<ResizeSettings>("settings");
        QTest::addColumn<QByteArray>("result"); // where it succeeds
        QTest::addColumn<Fails>("fails");
        QTest::addColumn<int>("line"); // where it fails
        const ResizeSettings unit;
        const QByteArray start = kHeader + kKept;
        const QByteArray done = kNewHeader + kKept;
        const auto ok = [](const char *tag, const QByteArray &source, const QByteArray &result,
                           const ResizeSettings &settings) {
            QTest::newRow(tag) << source << settings << result << Fails() << 0;
        };
        const auto fails = [](const char *tag, const QByteArray &source, ErrorKind kind, int line,
                              const ResizeSettings &settings) {
            QTest::newRow(tag) << source << settings << QByteArray() << Fails(kind) << line;
        };
        ok("worked example, mixed line ends",
           kHeader + "\"\",1,2,3\n" + bytes("kept \xE9\0 bytes\n")
               + "l4\r\nl5\n\"\",1.234,-2.5,3.3\r\n\"\",0.125,0.375,1e1",
           kNewHeader + "\"\",1,2,3\r\n" + bytes("kept \xE9\0 bytes\r\n")
               + "l4\r\nl5\r\n\"\",2.47,-2.5,1.65\r\n\"\",0.25,0.38,5\r\n",
           {"2", "1.00", "0.5", PrecisionMode::AF99});
        ok("empty file", "", "", unit);
        ok("header without a line end", kHeader.chopped(2), kNewHeader, unit);
        ok("five lines whatever the factors", start, done, {"abc", "", "1,5", PrecisionMode::AF5});
        ok("lone CRs kept", kHeader + "a\rb\r\nc\r", kNewHeader + "a\rb\r\nc\r\r\n", unit);
        // A kept line whose CR LF, or whose lone CR, is split by the end of a block.
        const QByteArray toBlockEnd(qsizetype(kBlock) - kHeader.size() - 1, 'x');
        ok("CR LF across blocks", kHeader + toBlockEnd + "\r\nl3", kNewHeader + toBlockEnd + "\r\nl3\r\n", unit);
        ok("lone CR across blocks", kHeader + toBlockEnd + "\rx\n", kNewHeader + toBlockEnd + "\rx\r\n", unit);
        const QByteArray big(50 * 1024 * 1024, 'x');
        ok("a kept line of 50 MB", kHeader + big + "\r\n", kNewHeader + big + "\r\n", unit);
        // Lines enough for many blocks; each thousand holds a result of 10^15.
        const auto many = [](const QByteArray &line) { return line.repeated(kBlock / 6); };
        const auto amid = [](const QByteArray &line, const QByteArray &large) {
            return (line.repeated(50) + large + line.repeated(949)).repeated(kBlock / 6000);
        };
        const QByteArray blanks(qsizetype(kBlock) + 44 * 1024, ' ');
        ok("fast lines across blocks", start + many("\"\",1.5,-2.25,3\r\n") + "\"\", " + blanks + "1,2,3",
           done + many("\"\",3,-4.5,6\r\n") + "\"\",2,4,6\r\n", {"2", "2", "2", PrecisionMode::AF99});
        ok("general lines across blocks", start + many("\"\",1e0,-225e-2,3\n"), done + many("\"\",2,-4.5,6\r\n"),
           {"2", "2", "2", PrecisionMode::AF5});
        ok("results of 10^15 amid fast lines", start + amid("\"\",1,-2.5,3\r\n", "\"\",9999999,1,1\r\n"),
           done + amid("\"\",1000000000,-5,3\r\n", "\"\",9.999999E+15,2,1\r\n"), {"1e9", "2", "1", PrecisionMode::AF5});
        fails("bad factor at line 6", start + "\"\",1,2,3\r\n", ErrorKind::TypeMismatch, 6, {"1", "x", "1"});
        fails("bad field later", start + "\"\",1,2,3\r\n\"\",1,2,3\r\n\"\",1,two,3\r\n", ErrorKind::TypeMismatch, 8,
              unit);
        fails("trailing empty line", start + "\"\",1,2,3\r\n\r\n", ErrorKind::InvalidArgument, 7, unit);
        fails("no header", "no header\r\n" + kKept, ErrorKind::InvalidArgument, 1, unit);
        fails("lines ending in CR alone", "\"\",\"wing\",\"metal\"\rl2\rl3\rl4\rl5\r\"\",1,2,3\r\"\",\"4\"\r\n",
              ErrorKind::InvalidArgument, 1, unit);
        fails("header of 50 MB", "\"\",\"wing\",\"" + big + "\"\r\n", ErrorKind::Overflow, 1, unit);
        fails("line over 4 MiB", start + "\"\",1,2," + QByteArray(5 << 20, '1') + "\r\n", ErrorKind::Overflow, 6, unit);
    }

    void runs()
    {
        QFETCH(QByteArray, source);
        QFETCH(ResizeSettings, settings);
        QFETCH(QByteArray, result);
        QFETCH(Fails, fails);
        QFETCH(int, line);
        const Scene scene(source);
        // An earlier result's permissions pass to the new one.
        const std::string resultPath = scene.folder.bytePath("wing_new1.afp");
        QCOMPARE(chmod(resultPath.c_str(), 0604), 0);
        const int descriptors = openDescriptors();
        const ResizeOutcome outcome = runResize(scene.folder.path(), "wing.afp", settings);
        QCOMPARE(openDescriptors(), descriptors);
        QCOMPARE(scene.leftOver(), QStringList());
        const auto *failed = std::get_if<Failed>(&outcome);
        QCOMPARE(failed ? Fails(failed->error.kind) : Fails(), fails);
        if (failed) {
            QCOMPARE(failed->error.line, std::optional<std::uint64_t>(line));
            QVERIFY(
                outcomeMessage(outcome).startsWith(QStringLiteral("Could not resize wing.afp: line %1: ").arg(line)));
            QVERIFY(outcomeMessage(outcome).size() < 300);
            QVERIFY(scene.kept());
            return;
        }
        QCOMPARE(std::get<Created>(outcome).newFileName, QStringLiteral("wing_new1.afp"));
        QVERIFY(scene.folder.read("wing_new1.afp") == result);
        // Two cores, as morvane-resize runs it, give the same.
        QVERIFY(std::holds_alternative<Created>(
            runResize(scene.folder.path(), "wing.afp", settings, {.secondCore = true})));
        QVERIFY(scene.folder.read("wing_new1.afp") == result);
        QCOMPARE(scene.folder.read("wing.afp"), source);
        struct stat made {};
        QVERIFY(stat(resultPath.c_str(), &made) == 0 && (made.st_mode & 07777) == 0604);
    }

    // The window's list order: letters first whatever their case; Qt gives
    // letter distances, so neighbours in the alphabet compare as 1 or -1.
    void nameOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("before");
        for (const auto &[a, b] :
             {std::pair{"b.afp", "C.AFP"}, {"a.afp", "B.afp"}, {"A.afp", "a.afp"}, {"a.afp", "ab.afp"}}) {
            QTest::newRow(QByteArray(a) + " before " + b) << QString(a) << QString(b) << true;
            QTest::newRow(QByteArray(b) + " after " + a) << QString(b) << QString(a) << false;
        }
        QTest::newRow("not before itself") << "a.afp"
                                           << "a.afp" << false;
    }

    void nameOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QTEST(partNameBefore(a, b), "before");
    }

    // Names in a folder that holds, besides the part and its earlier result, a
    // UTF-8 twin of w\xE9.afp, folders, links, a FIFO and a device.
    void names_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("written"); // a part of that name is made first
        QTest::addColumn<QByteArray>("result"); // the new file's name, where it succeeds
        QTest::addColumn<Fails>("fails");
        const auto ok = [](const QByteArray &name, const QByteArray &result) {
            QTest::newRow(name.left(40).toPercentEncoding().constData()) << name << true << result << Fails();
        };
        const auto fails = [](const char *tag, const QByteArray &name, ErrorKind kind, bool written = false) {
            QTest::newRow(tag) << name << written << QByteArray() << Fails(kind);
        };
        ok("WING.AFP", "WING_new1.afp");
        ok("wing_new1.afp", "wing_new1_new1.afp");
        ok("left wing.afp", "left wing_new1.afp");
        ok("w\xE9.afp", "w\xE9_new1.afp");
        ok(QByteArray(246, 'n') + ".afp", QByteArray(246, 'n') + "_new1.afp");
        fails("new name over 255 bytes", QByteArray(247, 'n') + ".afp", ErrorKind::PathError, true);
        fails("not a part file", "wing.txt", ErrorKind::InvalidArgument, true);
        fails("a path", "../wing.afp", ErrorKind::InvalidArgument);
        fails("a NUL byte", bytes("wing.afp\0.afp"), ErrorKind::InvalidArgument);
        fails("vanished", "gone.afp", ErrorKind::FileNotFound);
        for (const char *name : {"folder.afp", "way.afp", "link.afp", "fifo.afp", "zero.afp"})
            fails(name, name, ErrorKind::PathError);
    }

    void names()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, written);
        QFETCH(QByteArray, result);
        QFETCH(Fails, fails);
        PartFolder folder;
        const bool withEarlier = written && isPartFileName(name) && newFileNameFor(name).size() <= NAME_MAX;
        if (written)
            folder.write(name, kHeader);
        if (withEarlier)
            folder.write(newFileNameFor(name), "earlier\r\n");
        folder.write("w\xEF\xBF\xBD.afp", "a twin\r\n");
        QVERIFY(QDir(folder.path()).mkpath("folder.afp") && QDir(folder.path()).mkpath("way_new1.afp"));
        folder.write("way.afp", kHeader);
        folder.write("link.afp", kHeader);
        QVERIFY(QFile::link("link.afp", folder.file("link_new1.afp"))
                && QFile::link("/dev/zero", folder.file("zero.afp")));
        QCOMPARE(mkfifo(folder.bytePath("fifo.afp").c_str(), 0600), 0);
        const QStringList before = folder.entries();
        const int descriptors = openDescriptors();
        const ResizeOutcome outcome = runResize(QFile::encodeName(folder.path()), name, {});
        QCOMPARE(openDescriptors(), descriptors);
        QCOMPARE(folder.read("w\xEF\xBF\xBD.afp"), "a twin\r\n");
        QCOMPARE(folder.read("link.afp"), kHeader);
        QCOMPARE(folder.entries(), before);
        const auto *failed = std::get_if<Failed>(&outcome);
        QCOMPARE(failed ? Fails(failed->error.kind) : Fails(), fails);
        if (failed) {
            QVERIFY(outcomeMessage(outcome).startsWith("Could not resize " + QFile::decodeName(name) + ": "));
            QVERIFY(outcomeMessage(outcome).endsWith(". No file was changed."));
            if (withEarlier)
                QCOMPARE(folder.read(newFileNameFor(name)), "earlier\r\n");
            return;
        }
        QCOMPARE(folder.read(result), "\"\",\"" + result.chopped(4) + "\",\"metal-Resized\"\r\n");
        QCOMPARE(folder.read(name), kHeader);
    }
};

QTEST_GUILESS_MAIN(TestResizeRun)
#include "tst_resize_run.moc"
