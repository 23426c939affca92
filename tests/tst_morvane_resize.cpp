#include "part_folder.h"

#include <QProcess>
#include <QTest>

namespace {

const QByteArray kPart = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.234,-2.5,3.3\r\n";

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run resize(const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(MORVANE_RESIZE), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray resized(const QByteArray &name, const QByteArray &coordinates)
{
    return "\"\",\"" + name + "\",\"metal-Resized\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n" + coordinates + "\r\n";
}

} // namespace

class TestMorvaneResize : public QObject {
    Q_OBJECT

private slots:
    void resizes_data();
    void resizes();
    void keepsTheFactorTextAsGiven();
    void goesOnAfterAFailure();
    void refusesWhatIsNotAPartFile();
    void reportsAMissingFile();
    void usageErrors_data();
    void usageErrors();
    void helpAndVersion();
};

void TestMorvaneResize::resizes_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("coordinates");
    QTest::newRow("defaults") << QStringList() << QByteArray("\"\",1.23,-2.5,3.3");
    QTest::newRow("factors") << QStringList({"--right", "2", "--fore", "1.00", "--up", "0.5"})
                             << QByteArray("\"\",2.47,-2.5,1.65");
    QTest::newRow("AF5") << QStringList({"--right", "2", "--up", "0.5", "--precision", "AF5"})
                         << QByteArray("\"\",2.5,-2.5,1.6");
    QTest::newRow("precision in any case") << QStringList({"--precision=af5"}) << QByteArray("\"\",1.2,-2.5,3.3");
    QTest::newRow("AF99 spelt out") << QStringList({"--precision", "Af99"}) << QByteArray("\"\",1.23,-2.5,3.3");
    QTest::newRow("negative factor") << QStringList({"--right", "-1", "--fore=-2"})
                                     << QByteArray("\"\",-1.23,5,3.3");
}

void TestMorvaneResize::resizes()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, coordinates);
    PartFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("parts"));
    folder.write("parts/wing.afp", kPart);
    const Run run = resize(options + QStringList{"parts/wing.afp"}, folder.path());
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("parts/wing_new1.afp\n"));
    QCOMPARE(folder.read("parts/wing_new1.afp"), resized("wing_new1", coordinates));
}

void TestMorvaneResize::keepsTheFactorTextAsGiven()
{
    PartFolder folder;
    folder.write("wing.afp", kPart);
    const Run run = resize({"--right", " 2", "--up", " x", "wing.afp"}, folder.path());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("the UP factor \" x\" is not a number"), qPrintable(run.err));
    QCOMPARE(resize({"--right", " 2", "wing.afp"}, folder.path()).status, 0);
    QCOMPARE(folder.read("wing_new1.afp"), resized("wing_new1", "\"\",2.47,-2.5,3.3"));
}

void TestMorvaneResize::goesOnAfterAFailure()
{
    PartFolder folder;
    folder.write("a.afp", kPart);
    folder.write("b.afp", kPart + "\"\",1,2\r\n");
    folder.write("c.afp", kPart);
    const Run run = resize({"a.afp", "b.afp", "c.afp"}, folder.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QStringLiteral("a_new1.afp\nc_new1.afp\n"));
    QCOMPARE(run.err, QStringLiteral("b.afp: Could not resize b.afp: line 7: the line holds 2 fields after \"\", "
                                     "where a coordinate line holds 3. No file was changed.\n"));
    QCOMPARE(folder.entries(), QStringList({"a.afp", "a_new1.afp", "b.afp", "c.afp", "c_new1.afp"}));
}

void TestMorvaneResize::refusesWhatIsNotAPartFile()
{
    PartFolder folder;
    folder.write("wing.txt", kPart);
    folder.write("WING.AFP", kPart);
    const Run run = resize({"wing.txt", "WING.AFP"}, folder.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QStringLiteral("WING_new1.afp\n"));
    QVERIFY2(run.err.startsWith("wing.txt: ") && run.err.contains("not a part file"), qPrintable(run.err));
    QVERIFY(!folder.exists("wing_new1.afp"));
}

void TestMorvaneResize::reportsAMissingFile()
{
    PartFolder folder;
    const Run run = resize({"gone.afp"}, folder.path());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("gone.afp: Could not resize gone.afp: it was not found"), qPrintable(run.err));
    QVERIFY(folder.entries().isEmpty());
}

void TestMorvaneResize::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("no file") << QStringList() << "no FILE given";
    QTest::newRow("options but no file") << QStringList({"--right", "2"}) << "no FILE given";
    QTest::newRow("unknown option") << QStringList({"--left", "2", "wing.afp"}) << "Unknown option 'left'";
    QTest::newRow("missing value") << QStringList({"wing.afp", "--up"}) << "Missing value after '--up'";
    QTest::newRow("bad precision") << QStringList({"--precision", "AF7", "wing.afp"}) << "AF99 or AF5, not \"AF7\"";
}

void TestMorvaneResize::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    PartFolder folder;
    folder.write("wing.afp", kPart);
    const Run run = resize(arguments, folder.path());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(folder.entries(), QStringList({"wing.afp"}));
}

void TestMorvaneResize::helpAndVersion()
{
    PartFolder folder;
    const Run help = resize({"--help"}, folder.path());
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("--precision <AF99|AF5>"));
    const Run version = resize({"--version"}, folder.path());
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QStringLiteral("morvane-resize 1.1\n"));
}

QTEST_GUILESS_MAIN(TestMorvaneResize)
#include "tst_morvane_resize.moc"
