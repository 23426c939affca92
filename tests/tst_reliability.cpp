// Faults from outside, met by morvane-resize in a child process: the run
// fails or ends as asked, the source and an earlier result stay as they
// were, and nothing is left in the folder.

#include "tests/part_folder.h"

#include <QProcess>
#include <QTest>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray part(int lines)
{
    static QHash<int, QByteArray> made;
    QByteArray &bytes = made[lines];
    if (bytes.isEmpty()) {
        bytes = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n";
        for (int i = 0; i < lines; ++i)
            bytes += "\"\",12.345,-6.7," + QByteArray::number(i % 1000) + ".25\r\n";
    }
    return bytes;
}

// morvane-resize on the scene's part. `failCalls` makes those calls fail
// (see fail_calls.cpp); `inChild` runs in the child before it starts.
void startResize(QProcess &process, const Scene &scene, const QString &failCalls = {},
                 const std::function<void()> &inChild = {}, const QString &program = QStringLiteral(MORVANE_RESIZE))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!failCalls.isEmpty()) {
        environment.insert("LD_PRELOAD", QStringLiteral(FAIL_CALLS));
        environment.insert("FAIL_CALLS", failCalls);
        environment.insert("ASAN_OPTIONS", "verify_asan_link_order=0");
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(scene.folder.path());
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(program, {scene.name});
    QVERIFY(process.waitForStarted());
}

// Waits until the run has written `bytes`, then stops it there.
void stopAfterWriting(QProcess &process, qint64 bytes)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(process.processId()));
    for (int waited = 0; waited < 30000; waited += 1) {
        if (!io.open(QIODevice::ReadOnly))
            break;
        const QByteArray stats = io.readAll();
        io.close();
        const qsizetype at = stats.indexOf("wchar:");
        if (stats.mid(at + 6, stats.indexOf('\n', at) - at - 6).trimmed().toLongLong() >= bytes)
            break;
        QTest::qWait(1);
    }
    QVERIFY2(process.state() == QProcess::Running, "the run ended before it could be stopped");
    ::kill(pid_t(process.processId()), SIGSTOP);
}

// Permissions do not hold for root, so there the child gives them up.
void dropRootPrivileges()
{
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        _exit(99);
}

void checkFailed(QProcess &process, const Scene &scene, const QString &said)
{
    QVERIFY(process.waitForFinished(60000));
    const QString err = process.readAllStandardError();
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.startsWith("morvane-resize: wing.afp: ") && err.contains(said), qPrintable(err));
    QVERIFY(scene.kept());
    QCOMPARE(scene.leftOver(), QStringList());
}

} // namespace

class TestReliability : public QObject {
    Q_OBJECT

private slots:
    // A line with no end, as the header or as a kept line: memory stays
    // within bounds whatever the input. First, while this process is small:
    // a child's peak counts what it shared of its parent before exec.
    void memoryStaysBounded_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("said"); // empty: the run succeeds
        QTest::newRow("2 GB header") << QByteArray("\"\",\"wing\",\"") << (qint64(2) << 30)
                                     << "line 1: the line is longer";
        QTest::newRow("64 MB kept line") << QByteArray("\"\",\"wing\",\"metal\"\r\n") << (qint64(64) << 20) << "";
        QTest::newRow("2 GB coordinate line")
            << part(0) + "\"\",1," << (qint64(2) << 30) << "line 6: the line is longer";
    }

    void memoryStaysBounded()
    {
        QFETCH(QByteArray, start);
        QFETCH(qint64, size);
        QFETCH(QString, said);
        Scene scene("wing.afp", start);
        QFile source(scene.folder.file("wing.afp"));
        QVERIFY(source.open(QIODevice::ReadWrite) && source.resize(size)); // sparse: costs no disk
        source.close();
        QProcess process;
        startResize(process, scene);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), said.isEmpty() ? 0 : 1);
        QVERIFY2(QString(process.readAllStandardError()).contains(said), qPrintable(said));
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
#ifndef __SANITIZE_ADDRESS__ // whose shadow memory and quarantine would count
        QVERIFY2(usage.ru_maxrss < 32 * 1024, qPrintable(QString::number(usage.ru_maxrss) + " KiB"));
#endif
        QCOMPARE(scene.leftOver(), QStringList());
    }

    void refused_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("earlierMode");
        QTest::addColumn<QString>("said");
        QTest::newRow("read-only folder") << 0555 << 0666 << "wing_new1.afp could not be created: Permission denied";
        QTest::newRow("read-only earlier result") << 0777 << 0444 << "wing_new1.afp could not be created: the existing";
        QTest::newRow("folder not searchable") << 0666 << 0666 << "it could not be looked up in";
    }

    void refused()
    {
        QFETCH(int, folderMode);
        QFETCH(int, earlierMode);
        QFETCH(QString, said);
        const Scene scene("wing.afp", part(10));
        const QByteArray folder = QFile::encodeName(scene.folder.path());
        QCOMPARE(chmod(QFile::encodeName(scene.folder.file("wing_new1.afp")).constData(), mode_t(earlierMode)), 0);
        QCOMPARE(chmod(folder.constData(), mode_t(folderMode)), 0);
        // A copy of the program that the user it runs as can reach.
        PartFolder reachable;
        const QString program = reachable.file("morvane-resize");
        QVERIFY(QFile::copy(QStringLiteral(MORVANE_RESIZE), program));
        QCOMPARE(chmod(QFile::encodeName(reachable.path()).constData(), 0755), 0);
        QProcess process;
        process.setWorkingDirectory(reachable.path());
        process.setChildProcessModifier(dropRootPrivileges);
        process.start(program, {scene.folder.file("wing.afp")});
        QVERIFY(process.waitForFinished());
        chmod(folder.constData(), 0700);
        const QString err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.contains(said) && !err.contains("not found") && err.count(": ") >= 2, qPrintable(err));
        QVERIFY(scene.kept());
        QCOMPARE(scene.leftOver(), QStringList());
    }

    // A file-size limit stands in for a full disk: past it write() fails as
    // it does there. Some disks and network file systems report their errors
    // only when the file is synced or closed.
    void writeFails_data()
    {
        QTest::addColumn<QString>("failCalls");
        QTest::addColumn<bool>("sizeLimit");
        QTest::addColumn<QString>("said");
        QTest::newRow("disk full") << "" << true << "writing wing_new1.afp failed: File too large";
        QTest::newRow("sync fails") << "fdatasync" << false << "writing wing_new1.afp failed: Input/output error";
        QTest::newRow("close fails") << "close" << false << "writing wing_new1.afp failed: Input/output error";
        QTest::newRow("close fails, named file") << "tmpfile,close" << false << "failed: Input/output error";
        QTest::newRow("read fails") << "read" << false << "reading it failed: Input/output error";
    }

    void writeFails()
    {
        QFETCH(QString, failCalls);
        QFETCH(bool, sizeLimit);
        QFETCH(QString, said);
        const Scene scene("wing.afp", part(50000));
        QProcess process;
        startResize(process, scene, failCalls, [sizeLimit] {
            if (!sizeLimit)
                return;
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        checkFailed(process, scene, said);
    }

    // Stopped in the middle of writing; without unnamed files the result has
    // a name until then, which the run must take away with it.
    void interrupted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("failCalls");
        QTest::addColumn<bool>("ignored"); // as under nohup: the run goes on
        QTest::newRow("SIGKILL") << int(SIGKILL) << "" << false;
        QTest::newRow("SIGTERM, named file") << int(SIGTERM) << "tmpfile" << false;
        QTest::newRow("SIGINT, named file") << int(SIGINT) << "tmpfile" << false;
        QTest::newRow("SIGHUP, named file") << int(SIGHUP) << "tmpfile" << false;
        QTest::newRow("SIGHUP ignored, named file") << int(SIGHUP) << "tmpfile" << true;
    }

    void interrupted()
    {
        QFETCH(int, signal);
        QFETCH(QString, failCalls);
        QFETCH(bool, ignored);
        const Scene scene("wing.afp", part(2'000'000));
        QProcess process;
        startResize(process, scene, failCalls, [ignored] {
            if (ignored)
                ::signal(SIGHUP, SIG_IGN);
        });
        stopAfterWriting(process, 2 << 20);
        if (failCalls.contains("tmpfile"))
            QVERIFY2(scene.leftOver().size() == 1, "the run writes a named file");
        ::kill(pid_t(process.processId()), signal);
        ::kill(pid_t(process.processId()), SIGCONT);
        QVERIFY(process.waitForFinished());
        if (ignored) {
            QCOMPARE(process.exitCode(), 0);
            QVERIFY(scene.folder.read("wing_new1.afp").startsWith("\"\",\"wing_new1\""));
            QCOMPARE(scene.leftOver(), QStringList());
            return;
        }
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), signal);
        QVERIFY(scene.kept());
        QCOMPARE(scene.leftOver(), QStringList());
    }

    void sourceChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("truncated") << "truncate";
        QTest::newRow("grown") << "append";
        QTest::newRow("rewritten in place") << "rewrite";
        QTest::newRow("replaced") << "replace";
    }

    void sourceChanges()
    {
        QFETCH(QString, change);
        Scene scene("wing.afp", part(2'000'000));
        QProcess process;
        startResize(process, scene);
        stopAfterWriting(process, 2 << 20);
        QFile source(scene.folder.file("wing.afp"));
        if (change == "replace") {
            scene.folder.write("other.afp", scene.source);
            QCOMPARE(::rename(QFile::encodeName(scene.folder.file("other.afp")).constData(),
                              QFile::encodeName(source.fileName()).constData()),
                     0);
        } else {
            QVERIFY(source.open(change == "append" ? QIODevice::Append : QIODevice::ReadWrite));
            if (change == "truncate")
                QVERIFY(source.resize(source.size() / 2));
            else
                QVERIFY(source.write("\"\",1,2,3\r\n") > 0);
            source.close();
        }
        scene.source = scene.folder.read("wing.afp");
        ::kill(pid_t(process.processId()), SIGCONT);
        checkFailed(process, scene, "it changed while it was read");
    }
};

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
