#include "application_title.h"
#include "part_folder.h"
#include "resize_run.h"

#include <QTest>

using namespace morvane;

Q_DECLARE_METATYPE(morvane::ErrorKind)

namespace {

const QByteArray kHeader = R"("","wing","metal")";
const QByteArray kKept = "line 2\r\nline 3\r\nline 4\r\nline 5\r\n";

ResizeSettings settings(const char *right = "1.00", const char *fore = "1.00", const char *up = "1.00",
                        PrecisionMode precision = PrecisionMode::AF99)
{
    return ResizeSettings{right, fore, up, precision};
}

const ResizeError *failureOf(const ResizeOutcome &outcome)
{
    const auto *failed = std::get_if<Failed>(&outcome);
    return failed ? &failed->error : nullptr;
}

QString createdName(const ResizeOutcome &outcome)
{
    const auto *created = std::get_if<Created>(&outcome);
    return created ? created->newFileName : QStringLiteral("<not created: %1>").arg(outcomeMessage(outcome));
}

} // namespace

class TestResizeRun : public QObject {
    Q_OBJECT

private slots:
    void noFileSelected();
    void messages_data();
    void messages();
    void writesTheResizedPart();
    void endsEveryLineWithCrLf_data();
    void endsEveryLineWithCrLf();
    void shortSourceSucceedsWhateverTheFactors();
    void replacesAnEarlierResult();
    void namesTheResult_data();
    void namesTheResult();
    void failureChangesNothing_data();
    void failureChangesNothing();
    void refusesWhatIsNotAPartFile_data();
    void refusesWhatIsNotAPartFile();
    void missingSource();
    void resultNameTakenByAFolder();
    void longLinesAcrossBlocks();
};

void TestResizeRun::noFileSelected()
{
    PartFolder folder;
    const auto outcome = runResize(folder.path(), QString(), settings());
    QVERIFY(std::holds_alternative<NoFileSelected>(outcome));
    QCOMPARE(outcomeMessage(outcome), QStringLiteral("Please select a file !"));
    QVERIFY(folder.entries().isEmpty());
}

void TestResizeRun::messages_data()
{
    QTest::addColumn<ResizeOutcome>("outcome");
    QTest::addColumn<QString>("message");
    QTest::newRow("created") << ResizeOutcome(Created{"wing_new1.afp"})
                             << QStringLiteral("   File has been created succesfuly !  \r\r"
                                               "   New file's name is : wing_new1.afp   ");
    QTest::newRow("failed on a line")
        << ResizeOutcome(Failed{{ErrorKind::TypeMismatch, "wing.afp", 7, "the FORE value \"x\" is not a number"}})
        << QStringLiteral("Could not resize wing.afp: line 7: the FORE value \"x\" is not a number. "
                          "No file was changed.");
    QTest::newRow("failed on the file")
        << ResizeOutcome(Failed{{ErrorKind::FileNotFound, "wing.afp", std::nullopt, "it was not found in /p"}})
        << QStringLiteral("Could not resize wing.afp: it was not found in /p. No file was changed.");
}

void TestResizeRun::messages()
{
    QFETCH(ResizeOutcome, outcome);
    QFETCH(QString, message);
    QCOMPARE(outcomeMessage(outcome), message);
    QCOMPARE(QString::fromLatin1(kApplicationTitle), QStringLiteral("AF99 Morvane Part 1.1"));
}

void TestResizeRun::writesTheResizedPart()
{
    PartFolder folder;
    const QByteArray source = kHeader + "\r\n" + "\"\",1,2,3\n" + bytes("kept \xE9\0 bytes\n") + "line 4\r\nline 5\n"
                              + "\"\",1.234,-2.5,3.3\r\n" + "\"\",0.125,0.375,1e1\n";
    folder.write("wing.afp", source);
    const auto outcome = runResize(folder.path(), "wing.afp", settings("2", "1.00", "0.5"));
    QCOMPARE(createdName(outcome), QStringLiteral("wing_new1.afp"));
    QCOMPARE(folder.read("wing_new1.afp"), QByteArray("\"\",\"wing_new1\",\"metal-Resized\"\r\n"
                                                      "\"\",1,2,3\r\n"
                                                      + bytes("kept \xE9\0 bytes\r\n")
                                                      + "line 4\r\nline 5\r\n"
                                                        "\"\",2.47,-2.5,1.65\r\n"
                                                        "\"\",0.25,0.38,5\r\n"));
    QCOMPARE(folder.read("wing.afp"), source);
    QCOMPARE(folder.entries(), QStringList({"wing.afp", "wing_new1.afp"}));
}

void TestResizeRun::endsEveryLineWithCrLf_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray header = "\"\",\"wing_new1\",\"metal-Resized\"\r\n";
    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("header without terminator") << kHeader << header;
    QTest::newRow("last line without terminator")
        << kHeader + "\n" + kKept + "\"\",1,2,3" << header + kKept + "\"\",1,2,3\r\n";
    QTest::newRow("lone carriage returns kept") << kHeader + "\na\rb\r\n" << header + "a\rb\r\n";
}

void TestResizeRun::endsEveryLineWithCrLf()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);
    PartFolder folder;
    folder.write("wing.afp", source);
    const auto outcome = runResize(folder.path(), "wing.afp", settings());
    QCOMPARE(createdName(outcome), QStringLiteral("wing_new1.afp"));
    QCOMPARE(folder.read("wing_new1.afp"), expected);
}

void TestResizeRun::shortSourceSucceedsWhateverTheFactors()
{
    PartFolder folder;
    folder.write("wing.afp", kHeader + "\r\n" + kKept);
    QCOMPARE(createdName(runResize(folder.path(), "wing.afp", settings("abc", "", "1,5"))),
             QStringLiteral("wing_new1.afp"));

    folder.write("wing.afp", kHeader + "\r\n" + kKept + "\"\",1,2,3\r\n");
    const auto outcome = runResize(folder.path(), "wing.afp", settings("abc", "1", "1"));
    QVERIFY(failureOf(outcome));
    QCOMPARE(failureOf(outcome)->line, std::optional<std::uint64_t>(6));
    QCOMPARE(failureOf(outcome)->kind, ErrorKind::TypeMismatch);
    QCOMPARE(outcomeMessage(outcome), QStringLiteral("Could not resize wing.afp: line 6: the RIGHT factor \"abc\" "
                                                     "is not a number. No file was changed."));
}

void TestResizeRun::replacesAnEarlierResult()
{
    PartFolder folder;
    folder.write("wing.afp", kHeader + "\r\n");
    folder.write("wing_new1.afp", "an earlier result that is longer than the new one\r\n");
    QCOMPARE(createdName(runResize(folder.path(), "wing.afp", settings())), QStringLiteral("wing_new1.afp"));
    QCOMPARE(folder.read("wing_new1.afp"), QByteArray("\"\",\"wing_new1\",\"metal-Resized\"\r\n"));
    QCOMPARE(folder.entries(), QStringList({"wing.afp", "wing_new1.afp"}));
}

void TestResizeRun::namesTheResult_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("upper case extension") << "WING.AFP" << "WING_new1.afp" << QByteArray(R"("","WING_new1","metal")");
    QTest::newRow("a result resized again") << "wing_new1.afp" << "wing_new1_new1.afp"
                                            << QByteArray(R"("","wing_new1_new1","metal")");
    QTest::newRow("blank in the name") << "left wing.afp" << "left wing_new1.afp"
                                       << QByteArray(R"("","left wing_new1","metal")");
}

void TestResizeRun::namesTheResult()
{
    QFETCH(QString, source);
    QFETCH(QString, result);
    QFETCH(QByteArray, header);
    PartFolder folder;
    folder.write(source, R"("","x","metal")");
    QCOMPARE(createdName(runResize(folder.path(), source, settings())), result);
    QCOMPARE(folder.read(result), header.replace("metal", "metal-Resized") + "\r\n");
}

void TestResizeRun::failureChangesNothing_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<ResizeSettings>("factors");
    QTest::addColumn<ErrorKind>("kind");
    QTest::addColumn<int>("line");
    const QByteArray start = kHeader + "\r\n" + kKept;
    QTest::newRow("bad header") << QByteArray("no header\r\n") + kKept << settings() << ErrorKind::InvalidArgument
                                << 1;
    QTest::newRow("only line ends") << QByteArray("\r\n\n\r\n") << settings() << ErrorKind::InvalidArgument << 1;
    QTest::newRow("label too long") << "\"\",\"wing\",\"" + QByteArray(40000, 'x') + "\"\r\n" << settings()
                                    << ErrorKind::Overflow << 1;
    QTest::newRow("bad factor") << start + "\"\",1,2,3\r\n" << settings("1", "x", "1") << ErrorKind::TypeMismatch << 6;
    QTest::newRow("bad field late") << start + "\"\",1,2,3\r\n\"\",1,2,3\r\n\"\",1,two,3\r\n" << settings()
                                    << ErrorKind::TypeMismatch << 8;
    QTest::newRow("four numbers") << start + "\"\",1,2,3,4\r\n" << settings() << ErrorKind::InvalidArgument << 6;
    QTest::newRow("no empty field") << start + "1234,2,3\r\n" << settings() << ErrorKind::InvalidArgument << 6;
    QTest::newRow("trailing empty line") << start + "\"\",1,2,3\r\n\r\n" << settings() << ErrorKind::InvalidArgument
                                         << 7;
    QTest::newRow("overflow") << start + "\"\",1e308,1,1\r\n" << settings("10") << ErrorKind::Overflow << 6;
}

void TestResizeRun::failureChangesNothing()
{
    QFETCH(QByteArray, source);
    QFETCH(ResizeSettings, factors);
    QFETCH(ErrorKind, kind);
    QFETCH(int, line);
    PartFolder folder;
    const QByteArray earlier = "an earlier result\r\n";
    folder.write("wing.afp", source);
    folder.write("wing_new1.afp", earlier);
    const auto outcome = runResize(folder.path(), "wing.afp", factors);
    const ResizeError *error = failureOf(outcome);
    QVERIFY(error);
    QCOMPARE(error->kind, kind);
    QCOMPARE(error->line, std::optional<std::uint64_t>(line));
    QVERIFY(outcomeMessage(outcome).startsWith(QStringLiteral("Could not resize wing.afp: line %1: ").arg(line)));
    QCOMPARE(folder.read("wing.afp"), source);
    QCOMPARE(folder.read("wing_new1.afp"), earlier);
    QCOMPARE(folder.entries(), QStringList({"wing.afp", "wing_new1.afp"}));
}

void TestResizeRun::refusesWhatIsNotAPartFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("other extension") << "wing.txt";
    QTest::newRow("shorter than an extension") << "afp";
    QTest::newRow("a path") << "../wing.afp";
}

void TestResizeRun::refusesWhatIsNotAPartFile()
{
    QFETCH(QString, name);
    PartFolder folder;
    folder.write("wing.txt", kHeader);
    const auto outcome = runResize(folder.path(), name, settings());
    QVERIFY(failureOf(outcome));
    QCOMPARE(failureOf(outcome)->kind, ErrorKind::InvalidArgument);
    QCOMPARE(folder.entries(), QStringList({"wing.txt"}));
}

void TestResizeRun::missingSource()
{
    PartFolder folder;
    const auto outcome = runResize(folder.path(), "wing.afp", settings());
    QVERIFY(failureOf(outcome));
    QCOMPARE(failureOf(outcome)->kind, ErrorKind::FileNotFound);
    QVERIFY(outcomeMessage(outcome).contains(QDir::toNativeSeparators(folder.path())));
    QVERIFY(folder.entries().isEmpty());
}

void TestResizeRun::resultNameTakenByAFolder()
{
    PartFolder folder;
    folder.write("wing.afp", kHeader + "\r\n");
    QVERIFY(QDir(folder.path()).mkdir("wing_new1.afp"));
    const auto outcome = runResize(folder.path(), "wing.afp", settings());
    QVERIFY(failureOf(outcome));
    QCOMPARE(failureOf(outcome)->kind, ErrorKind::PathError);
    QVERIFY(QFileInfo(folder.filePath("wing_new1.afp")).isDir());
    QCOMPARE(folder.entries(), QStringList({"wing.afp", "wing_new1.afp"}));
}

void TestResizeRun::longLinesAcrossBlocks()
{
    // Lines longer than the reader's block, and CR LF split between blocks.
    PartFolder folder;
    QByteArray source = kHeader + "\r\n" + QByteArray(600 * 1024, 'k') + "\r\n" + "line 3\r\nline 4\r\nline 5\r\n";
    QByteArray expected = "\"\",\"wing_new1\",\"metal-Resized\"\r\n" + QByteArray(600 * 1024, 'k') + "\r\n"
                          + "line 3\r\nline 4\r\nline 5\r\n";
    for (int i = 0; i < 40000; ++i) {
        source += "\"\",1.5,-2.25,3\r\n";
        expected += "\"\",3,-4.5,6\r\n";
    }
    source += "\"\", " + QByteArray(300 * 1024, ' ') + "1,2,3\n";
    expected += "\"\",2,4,6\r\n";
    folder.write("wing.afp", source);
    QCOMPARE(createdName(runResize(folder.path(), "wing.afp", settings("2", "2", "2"))),
             QStringLiteral("wing_new1.afp"));
    QVERIFY(folder.read("wing_new1.afp") == expected);
}

QTEST_GUILESS_MAIN(TestResizeRun)
#include "tst_resize_run.moc"
