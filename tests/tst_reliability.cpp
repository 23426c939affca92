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

// morvane-resize on the scene's part, those calls made to fail (see
// fail_calls.cpp); `inChild` runs in the child before it starts.
void startResize(QProcess &process, const Scene &scene, const QString &failCalls = {},
                 const std::function<void()> &inChild = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", QStringLiteral(FAIL_CALLS));
    environment.insert("FAIL_CALLS", failCalls);
    environment.insert("ASAN_OPTIONS", "verify_asan_link_order=0");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(scene.folder.path());
    process.setChildProcessModifier(inChild ? inChild : [] {});
    process.start(MORVANE_RESIZE, {scene.name});
    QVERIFY(process.waitForStarted());
}

// Waits until the run has written 2 MB, then stops it there.
void stopInTheMiddle(QProcess &process)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(process.processId()));
    for (int waited = 0; waited < 30000 && io.open(QIODevice::ReadOnly); ++waited) {
        const QByteArray stats = io.readAll();
        io.close();
        const qsizetype at = stats.indexOf("wchar:") + 6;
        if (stats.mid(at, stats.indexOf('\n', at) - at).trimmed().toLongLong() >= 2 << 20)
            break;
        QTest::qWait(1);
    }
    QVERIFY2(process.state() == QProcess::Running, "the run ended before it could be stopped");
    ::kill(pid_t(process.processId()), SIGSTOP);
}

// Changes the source under the run.
void change(Scene &scene, const QString &how)
{
    QFile source(scene.folder.file("wing.afp"));
    if (how == "replace") {
        scene.folder.write("other.afp", scene.source);
        QCOMPARE(::rename(scene.folder.bytePath("other.afp").c_str(), scene.folder.bytePath("wing.afp").c_str()), 0);
    } else if (how == "truncate") {
        QVERIFY(source.resize(source.size() / 2));
    } else if (!how.isEmpty()) {
        QVERIFY(source.open(how == "append" ? QIODevice::Append : QIODevice::ReadWrite));
        QVERIFY(source.write("\"\",1,2,3\r\n") > 0);
        source.close();
    }
    scene.source = scene.folder.read("wing.afp");
}

// Permissions do not hold for root, so there the child gives them up.
void dropRootPrivileges()
{
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        _exit(99);
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

    // What the disk, a signal or another program does to a run, and how it
    // ends: an exit status, or minus the signal that ended it.
    void faults_data()
    {
        QTest::addColumn<QString>("failCalls");
        QTest::addColumn<QString>("inChild");
        QTest::addColumn<int>("signal"); // sent in the middle of the run
        QTest::addColumn<QString>("change"); // made to the source in the middle of the run
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const auto row = [](const char *tag, const char *failCalls, const char *inChild, int signal, const char *change,
                            int status, const char *said) {
            QTest::newRow(tag) << failCalls << inChild << signal << change << status << said;
        };
        // A file-size limit stands in for a full disk: past it write() fails
        // as it does there. Some disks and network file systems report their
        // errors only when the file is synced or closed.
        row("disk full", "", "size limit", 0, "", 1, "writing wing_new1.afp failed: File too large");
        row("sync fails", "fdatasync", "", 0, "", 1, "writing wing_new1.afp failed: Input/output error");
        row("close fails", "close", "", 0, "", 1, "writing wing_new1.afp failed: Input/output error");
        row("close fails, named file", "tmpfile,close", "", 0, "", 1,
            "writing wing_new1.afp failed: Input/output error");
        row("read fails", "read", "", 0, "", 1, "reading it failed: Input/output error");
        // Without unnamed files the result has a name until it is done, which
        // the run must take away with it.
        row("SIGKILL", "", "", SIGKILL, "", -SIGKILL, "");
        row("SIGTERM, named file", "tmpfile", "", SIGTERM, "", -SIGTERM, "");
        row("SIGINT, named file", "tmpfile", "", SIGINT, "", -SIGINT, "");
        row("SIGHUP, named file", "tmpfile", "", SIGHUP, "", -SIGHUP, "");
        row("SIGHUP under nohup", "tmpfile", "nohup", SIGHUP, "", 0, "");
        for (const char *how : {"truncate", "append", "rewrite", "replace"})
            row(how, "", "", 0, how, 1, "it changed while it was read");
    }

    void faults()
    {
        QFETCH(QString, failCalls);
        QFETCH(QString, inChild);
        QFETCH(int, signal);
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QString, said);
        Scene scene("wing.afp", part(2'000'000));
        QProcess process;
        startResize(process, scene, failCalls, [inChild] {
            if (inChild == "nohup")
                ::signal(SIGHUP, SIG_IGN);
            if (inChild != "size limit")
                return;
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        if (signal != 0 || !change.isEmpty()) {
            stopInTheMiddle(process);
            QCOMPARE(scene.leftOver().size(), failCalls.contains("tmpfile") ? 1 : 0);
            ::change(scene, change);
            if (signal != 0)
                ::kill(pid_t(process.processId()), signal);
            ::kill(pid_t(process.processId()), SIGCONT);
        }
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus() == QProcess::CrashExit ? -process.exitCode() : process.exitCode(), status);
        const QString err = process.readAllStandardError();
        QVERIFY2(said.isEmpty() ? err.isEmpty() : err.startsWith("morvane-resize: wing.afp: " + said), qPrintable(err));
        QCOMPARE(scene.leftOver(), QStringList());
        if (status == 0)
            QVERIFY(scene.folder.read("wing_new1.afp").startsWith("\"\",\"wing_new1\""));
        else
            QVERIFY(scene.kept());
    }
};

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
