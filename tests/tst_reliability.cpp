// Faults from outside, met by morvane-resize in a child process: the source
// and an earlier result stay as they were, and nothing is left that the
// window would list.

#include "tests/part_folder.h"

#include <QElapsedTimer>
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
    QByteArray bytes = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n";
    bytes.reserve(bytes.size() + 24 * qsizetype(lines));
    for (int i = 0; i < lines; ++i)
        bytes += "\"\",12.345,-6.7," + QByteArray::number(i % 1000) + ".25\r\n";
    return bytes;
}

void startResize(QProcess &process, const Scene &scene, const std::function<void()> &inChild = {},
                 const QString &program = QStringLiteral(MORVANE_RESIZE))
{
    process.setWorkingDirectory(scene.folder.path());
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(program, {"wing.afp"});
}

// Permissions do not hold for root, so there the child gives them up.
void dropRootPrivileges()
{
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        _exit(99);
}

qint64 bytesWritten(qint64 pid)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(pid));
    if (io.open(QIODevice::ReadOnly))
        for (const QByteArray &line : io.readAll().split('\n'))
            if (line.startsWith("wchar:"))
                return line.mid(6).trimmed().toLongLong();
    return -1;
}

} // namespace

class TestReliability : public QObject {
    Q_OBJECT

private slots:
    void writeRefused_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("earlierMode");
        QTest::addColumn<QString>("said");
        QTest::newRow("read-only folder") << 0555 << 0666 << "Permission denied";
        QTest::newRow("read-only earlier result") << 0777 << 0444 << "is not writable";
    }

    void writeRefused()
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
        startResize(process, scene, dropRootPrivileges, program);
        QVERIFY(process.waitForFinished());
        chmod(folder.constData(), 0700);
        const QString err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.contains("wing_new1.afp could not be created: ") && err.contains(said), qPrintable(err));
        QVERIFY(scene.kept());
        QCOMPARE(scene.leftOver(), QStringList());
    }

    // A file-size limit stands in for a full disk: past it write() fails as it
    // does there, and the run must say so rather than report success.
    void diskFillsUp()
    {
        const Scene scene("wing.afp", part(50000));
        QProcess process;
        startResize(process, scene, [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString(process.readAllStandardError()).contains("writing wing_new1.afp failed: File too large"));
        QVERIFY(scene.kept());
        QCOMPARE(scene.leftOver(), QStringList());
    }

    void killedInTheMiddle()
    {
        const Scene scene("wing.afp", part(5'000'000));
        QProcess process;
        startResize(process, scene);
        QVERIFY(process.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        // Until 8 MB are written, or for a moment where the kernel does not tell.
        for (qint64 written = 0; written < 8 * 1024 * 1024 && waited.elapsed() < 30000;) {
            QTest::qWait(1);
            written = bytesWritten(process.processId());
            if (written < 0 && waited.elapsed() > 200)
                break;
        }
        QVERIFY2(process.state() == QProcess::Running, "the run ended before it could be killed");
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QVERIFY(scene.kept());
        for (const QString &entry : scene.leftOver())
            QVERIFY2(!entry.endsWith(".afp", Qt::CaseInsensitive), qPrintable(entry));
    }
};

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
