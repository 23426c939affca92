// morvane-resize in a child process: what it says and makes for its
// arguments; then faults from outside, after which the run fails or ends as
// asked, the source and an earlier result stay as they were, nothing is left
// in the folder, and memory stays bounded.

#include "tests/child_processes.h"
#include "tests/part_folder.h"

#include <QProcess>
#include <QTest>

#include <filesystem>
#include <set>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kStart = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n";

// A part of 300,000 lines, 7 MB, and what it becomes: a run over it writes
// 2 MB, where it stops itself for a row to act, well before its end.
QByteArray largePart(bool resized = false)
{
    constexpr int kLines = 300'000;
    static QByteArray bytes[2];
    for (int i = bytes[resized].isEmpty() ? 0 : kLines; i < kLines; ++i)
        bytes[resized] += (i > 0         ? ""
                               : resized ? "\"\",\"wing_new1\",\"metal-Resized\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n"
                                         : kStart)
            + (resized ? "\"\",12.34,-6.7," : "\"\",12.345,-6.7,") + QByteArray::number(i % 1000) + ".25\r\n";
    return bytes[resized];
}

// Waits until the run has stopped itself in the middle (see fail_calls.cpp).
void waitUntilStopped(QProcess &process)
{
    QVERIFY(process.processId() > 0);
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
    for (int waited = 0; waited < 60000 && stat.open(QIODevice::ReadOnly); ++waited, QTest::qWait(1)) {
        const QByteArray state = stat.readAll().split(')').value(1).trimmed().left(1);
        stat.close();
        if (state == "T")
            return;
    }
    QFAIL("the run did not stop in the middle");
}

// Changes the source under the run.
void change(Scene &scene, const QString &how)
{
    QFile source(scene.folder.file("wing.afp"));
    if (how == "replace") {
        scene.folder.write("other.afp", scene.source);
        std::filesystem::rename(scene.folder.systemPath("other.afp"), scene.folder.systemPath("wing.afp"));
    } else if (how == "truncate") {
        QVERIFY(source.resize(source.size() / 2));
    } else if (!how.isEmpty()) {
        QVERIFY(source.open(how == "append" ? QIODevice::Append : QIODevice::ReadWrite));
        QVERIFY(source.write("\"\",1,2,3\r\n") > 0);
        source.close();
    }
    scene.source = scene.folder.read("wing.afp");
}

} // namespace

class TestMorvaneResize : public QObject {
    Q_OBJECT

    // Where the tests are run from: a run that went astray with a relative
    // path writes here, not beside the tests.
    QTemporaryDir m_workingFolder;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(m_workingFolder.path())); }

    void runs_data()
    {
        QTest::addColumn<QByteArray>("script"); // $0 is the program
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err"); // how standard error begins, after "morvane-resize: "
        QTest::addColumn<QByteArray>("line6"); // of parts/wing_new1.afp, where made
        QTest::addColumn<int>("pipeNobodyReads"); // the standard stream that is one
        QTest::addColumn<int>("unprinted"); // new files besides those printed
        const auto row = [](const char *tag, const char *script, int status, const QByteArray &out,
                            const QByteArray &err, const QByteArray &line6 = {}, int pipeNobodyReads = 0,
                            int unprinted = 0) {
            QTest::newRow(tag) << QByteArray(script) << status << out << err << line6 << pipeNobodyReads << unprinted;
        };
        const QByteArray made = "parts/wing_new1.afp\n";
        row("defaults", R"("$0" parts/wing.afp)", 0, made, "", R"("",1.23,-2.5,3.3)");
        row("AF5 in any case", R"("$0" --precision=af5 --right 2 --up 0.5 parts/wing.afp)", 0, made, "",
            R"("",2.5,-2.5,1.6)");
        row("negative factors", R"("$0" --right -1 --fore=-2 --precision Af99 parts/wing.afp)", 0, made, "",
            R"("",-1.23,5,3.3)");
        row("factor text as given", R"("$0" --up " ２" parts/wing.afp)", 1, "",
            "parts/wing.afp: line 6: the UP factor \" ２\" is not a number\n");
        row("one failing in the middle", R"("$0" a.afp b.afp WING.AFP)", 1, "a_new1.afp\nWING_new1.afp\n",
            "b.afp: line 8: the line holds 2 fields after \"\", where a coordinate line holds 3\n");
        row("not a part file", R"("$0" notes.txt a.afp)", 1, "a_new1.afp\n",
            "notes.txt: it is not a part file (.afp)\n");
        row("no file name", R"("$0" parts/)", 1, "", "parts/: it is not a part file (.afp)\n");
        row("empty name", R"("$0" "" a.afp)", 1, "a_new1.afp\n", "'': an empty name names no file\n");
        // A C1 control and a bidirectional one.
        row("missing file", R"sh("$0" "$(printf 'gone\302\233\342\200\256.afp')")sh", 1, "",
            "gone\\xC2\\x9B\\xE2\\x80\\xAE.afp: it was not found in the current folder\n");
        // Qt takes the options it knows from argv, even after "--": the
        // command reads the command line before Qt does.
        row("Qt's option as a FILE", R"("$0" a.afp -- -qmljsdebugger=x.afp)", 1, "a_new1.afp\n",
            "-qmljsdebugger=x.afp: it");
        row("Qt's option as an option", R"("$0" -qmljsdebugger a.afp)", 2, "", "Unknown options: q, m, l,");
        row("missing folder", R"("$0" no/../gone.afp)", 1, "", "no/../gone.afp: the folder no/../ was not found\n");
        row("current folder deleted", R"(mkdir gone && cd gone && rmdir ../gone && "$0" a.afp)", 1, "",
            "a.afp: the current folder no longer exists\n");
        // The kernel takes "deep/.." through the link deep, to parts/.
        row("path as given", R"("$0" deep/../wing.afp)", 0, "deep/../wing_new1.afp\n", "", R"("",1.23,-2.5,3.3)");
        row("name not UTF-8", R"sh("$0" "$(printf 'w\351.afp')")sh", 0, "w\xE9_new1.afp\n", "");
        row("its twin", R"sh("$0" "$(printf 'w\357\277\275.afp')")sh", 0, "w\xEF\xBF\xBD_new1.afp\n", "");
        // Within a call a result replaces neither another result of the call
        // nor a part still to be read.
        row("results that collide", R"("$0" a.afp a.AFP)", 1, "a_new1.afp\n",
            "a.AFP: will not overwrite just-created a_new1.afp, made from a.afp\n");
        row("one part twice", R"("$0" a.afp deep/../../a.afp)", 1, "a_new1.afp\n",
            "deep/../../a.afp: will not overwrite just-created a_new1.afp, made from a.afp\n");
        row("a part still to be read", R"("$0" --right 2 c*.afp)", 1, "c_new1_new1.afp\n",
            "c.afp: will not overwrite c_new1.afp before c_new1.afp is resized\n");
        row("a part already read", R"("$0" c_new1.afp c.afp)", 0, "c_new1_new1.afp\nc_new1.afp\n", "");
        row("a part that is its own result", R"(cp a.afp s_new1.afp && ln -s s_new1.afp s.afp && "$0" s.afp)", 1, "",
            "s.afp: s_new1.afp is the part itself\n", {}, 0, 1);
        // Each makes its files but cannot say so: a failure to print, never a
        // signal that ends the batch.
        row("output full", R"("$0" a.afp >/dev/full)", 1, "", "write error: No space left on device\n", {}, 0, 1);
        row("output closed", R"("$0" a.afp >&-)", 1, "", "write error: Bad file descriptor\n", {}, 0, 1);
        row("output to a pipe nobody reads", R"("$0" a.afp WING.AFP)", 1, "", "write error: Broken pipe\n", {}, 1, 2);
        row("output past the size limit", R"(head -c 1024 /dev/zero >full; ulimit -f 1; "$0" a.afp WING.AFP >>full)", 1,
            "", "write error: File too large\n", {}, 0, 3);
        row("errors to a pipe nobody reads", R"("$0" gone.afp a.afp)", 1, "a_new1.afp\n", "", {}, 2);
#ifndef __SANITIZE_ADDRESS__ // whose shadow memory the limit would refuse
        // Short of memory, a part fails alone: 2 MiB more than a small part
        // takes is too little for a line of 3 MB.
        row("short of memory",
            R"(for v in $(seq 20000 1024 300000); do (ulimit -v $v; "$0" a.afp) >/dev/null 2>&1 && break; done
printf '"","b","m"\nl2\nl3\nl4\nl5\n"",%3000000s\n' 1,2,3 >big.afp; ulimit -v $((v + 2048)); "$0" big.afp a.afp)",
            1, "a_new1.afp\n", "big.afp: there was not enough memory for it\n", {}, 0, 1);
#endif
        // Sizes: 2.234 by 4.75 by 2.8, written as the precision writes them.
        row("sizes", R"("$0" --size parts/wing.afp b.afp a.afp)", 1,
            "parts/wing.afp\t2.23\t4.75\t2.8\na.afp\t2.23\t4.75\t2.8\n", "b.afp: line 8: the line holds 2");
        row("sizes at AF5", R"("$0" --precision AF5 --size a.afp)", 0, "a.afp\t2.2\t4.8\t2.8\n", "");
        row("fit, in proportion", R"("$0" --fit-fore 9.5 --keep-proportions parts/wing.afp)", 0, made,
            "parts/wing.afp: factors --right 2 --fore 2 --up 2\n", R"("",2.47,-5,6.6)");
        row("fit beside factors", R"("$0" --fit-right 1.117 --up -1 parts/wing.afp)", 0, made,
            "parts/wing.afp: factors --right 0.5 --fore 1.00 --up -1\n", R"("",0.62,-2.5,-3.3)");
        row("fit a flat axis", R"(printf '"","f","m"\nl2\nl3\nl4\nl5\n"",1,2,3\n' >f.afp; "$0" --fit-up 2 f.afp)", 1,
            "", "f.afp: the part is flat along UP: it has no size there to fit\n", {}, 0, 1);
        row("fit an empty part", R"(printf '"","f","m"\nl2\nl3\nl4\nl5\n' >f.afp; "$0" --fit-up 2 f.afp)", 1, "",
            "f.afp: it has no coordinate lines, so no size to fit\n", {}, 0, 1);
        row("fit a failing part", R"("$0" --fit-up 2 b.afp)", 1, "", "b.afp: line 8: the line holds 2");
        row("an axis twice", R"("$0" --right 2 --fit-right 3 a.afp)", 2, "",
            "the RIGHT factor is given more than once.");
        row("a fit twice", R"("$0" --fit-up 2 --fit-up=3 a.afp)", 2, "", "the UP factor is given more than once.");
        row("proportions and a factor", R"("$0" --fit-up 2 --keep-proportions --right 2 a.afp)", 2, "",
            "the RIGHT factor is given more than once: --keep-proportions sets it.");
        row("proportions of two fits", R"("$0" --fit-up 2 --fit-fore 1 --keep-proportions a.afp)", 2, "",
            "--keep-proportions takes one");
        row("a negative size", R"("$0" --fit-up -2 a.afp)", 2, "", "the UP size wanted is negative;");
        row("size and a factor", R"("$0" --size --up 2 a.afp)", 2, "", "--size writes no file");
        row("no FILE", R"("$0" --right 2)", 2, "", "no FILE given.\n");
        row("unknown option", R"sh("$0" "--l$(printf '\302\205')" a.afp)sh", 2, "", "Unknown option 'l\\xC2\\x85'.");
        row("missing value", R"("$0" a.afp --up)", 2, "", "Missing value after '--up'.");
        row("bad precision", R"sh("$0" --precision "AF7$(printf '\033')" a.afp)sh", 2, "",
            "--precision takes AF99 or AF5, not \"AF7\\x1B\".");
        row("version", R"("$0" --version)", 0, "morvane-resize 1.1\n", "");
        row("version to a full output", R"("$0" --version >/dev/full)", 1, "", "write error: ");
    }

    void runs()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(QByteArray, line6);
        // Each part's label is its own path, to tell which one was resized.
        const auto part = [](const QByteArray &path) {
            return "\"\",\"wing\",\"" + path
                + "\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.234,-2.5,3.3\r\n\"\",-1,2.25,.5\r\n";
        };
        PartFolder folder;
        QVERIFY(QDir(folder.path()).mkpath("parts/deep")
                && QFile::link(folder.file("parts/deep"), folder.file("deep")));
        for (const char *name : {"parts/wing.afp", "a.afp", "a.AFP", "c.afp", "c_new1.afp", "WING.AFP", "notes.txt",
                                 "w\xE9.afp", "w\xEF\xBF\xBD.afp"})
            folder.write(name, part(name));
        folder.write("b.afp", part("b.afp") + "\"\",1,2\r\n");
        // The files in the folder, by their paths as the kernel takes them.
        const auto files = [&] {
            std::set<std::filesystem::path> found;
            for (const auto &entry : std::filesystem::recursive_directory_iterator(folder.systemPath({})))
                if (entry.is_regular_file())
                    found.insert(std::filesystem::canonical(entry.path()));
            return found;
        };
        const std::set<std::filesystem::path> before = files();

        QFETCH(int, pipeNobodyReads);
        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.setChildProcessModifier([pipeNobodyReads] {
            int ends[2];
            if (pipeNobodyReads != 0 && (pipe(ends) != 0 || dup2(ends[1], pipeNobodyReads) < 0 || close(ends[0]) != 0))
                _exit(99);
            holdToTheTest();
        });
        // The program takes the shell's place, and its end with the test.
        const QString command = QString::fromUtf8(script).replace("\"$0\"", "exec \"$0\"");
        process.start("/bin/sh", {"-c", command, QStringLiteral(MORVANE_RESIZE)});
        QVERIFY(process.waitForFinished() && process.exitStatus() == QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        QCOMPARE(process.readAllStandardOutput(), out);
        const QByteArray said = process.readAllStandardError();
        QVERIFY2(err.isEmpty() ? said.isEmpty() : said.startsWith("morvane-resize: " + err), said.constData());
        // Each new file is its own part's: the label is the part's path, and
        // the new name's bytes are in its header.
        const std::filesystem::path top = std::filesystem::canonical(folder.systemPath({}));
        std::size_t added = 0;
        for (const QByteArray &path : out.split('\n')) {
            if (!path.endsWith(".afp"))
                continue;
            const std::filesystem::path made = std::filesystem::canonical(folder.systemPath(path));
            added += !before.contains(made);
            const QByteArray header = "\"\",\"" + path.mid(path.lastIndexOf('/') + 1).chopped(4) + "\",\"";
            const QByteArray own = QByteArray::fromStdString(made.lexically_relative(top));
            QVERIFY(folder.read(path).startsWith(header + own.chopped(9) + '.'));
        }
        if (!line6.isEmpty())
            QCOMPARE(folder.read("parts/wing_new1.afp").split('\n').value(5), line6 + '\r');
        if (!out.split('\n').contains("c_new1.afp"))
            QCOMPARE(folder.read("c_new1.afp"), part("c_new1.afp"));
        QTEST(int(files().size() - before.size() - added), "unprinted");
    }

    // The manual page lists every option that --help shows, --help-all as
    // well as any.
    void manualListsEveryOption()
    {
        QProcess process;
        process.setChildProcessModifier([] { holdToTheTest(); });
        process.start(MORVANE_RESIZE, {"--help-all", "a.afp"});
        QFile manual(MANUAL);
        QVERIFY(process.waitForFinished() && process.exitCode() == 0 && manual.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(manual.readAll()).replace("\\-", "-");
        QStringList options;
        // Each name of each option, as --help lists them: "  -h, --help".
        const QRegularExpression listed("(?<=^  |, )-[^ ,]+", QRegularExpression::MultilineOption);
        for (const auto &match : listed.globalMatch(QString::fromUtf8(process.readAllStandardOutput())))
            options << match.captured();
        QCOMPARE(options.size(), 14);
        for (const QString &option : options)
            QVERIFY2(
                page.contains(QRegularExpression("(?<![-\\w])" + QRegularExpression::escape(option) + "(?![-\\w])")),
                qPrintable(option));
    }

    // How a run ends: an exit status, or minus the signal that ended it.
    void faults_data()
    {
        QTest::addColumn<QByteArray>("source"); // empty: the large part
        QTest::addColumn<qint64>("size"); // the source made this long, sparse: it costs no disk
        QTest::addColumn<QString>("failCalls"); // made to fail, by fail_calls.cpp
        QTest::addColumn<QString>("setting"); // of the child or its folder
        QTest::addColumn<int>("signal"); // sent in the middle of the run
        QTest::addColumn<QString>("change"); // made to the source in the middle of the run
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const auto row = [](const char *tag, const QByteArray &source, qint64 size, const char *failCalls,
                            const char *setting, int signal, const char *change, int status, const char *said) {
            QTest::newRow(tag) << source << size << failCalls << setting << signal << change << status << said;
        };
        // Lines with no end come first, while this process is small: a
        // child's peak memory counts what it shared of its parent.
        const qint64 gigabytes2 = qint64(2) << 30;
        row("2 GB header", "\"\",\"wing\",\"", gigabytes2, "", "", 0, "", 1, "line 1: the line is longer than 4 MiB");
        row("64 MB kept line", kStart.left(20), 64 << 20, "", "", 0, "", 0, "");
        row("2 GB coordinate line", kStart + "\"\",1,", gigabytes2, "", "", 0, "", 1, "line 6: the line is longer");
        // Permissions do not hold for root, so these run as nobody.
        row("read-only folder", "", 0, "", "folder 0555", 0, "", 1, "wing_new1.afp could not be created: Permission");
        row("read-only earlier result", "", 0, "", "earlier 0444", 0, "", 1, "wing_new1.afp could not be created: the");
        row("folder not searchable", "", 0, "", "folder 0666", 0, "", 1, "it could not be looked up in");
        // A file-size limit stands in for a full disk: past it write() fails
        // as it does there, once the run has taken SIGXFSZ out of its way.
        // Some disks and network file systems report their errors only when
        // the file is synced or closed.
        const char *writing = "writing wing_new1.afp failed: ";
        row("disk full", "", 0, "", "size limit 65536", 0, "", 1, "writing wing_new1.afp failed: File too large");
        // The one byte the first write leaves must be written, or fail.
        const QByteArray newStart = "\"\",\"wing_new1\",\"metal-Resized\"\r\n";
        const QByteArray padding(4097 - newStart.size() - QByteArray("\r\nl3\r\nl4\r\nl5\r\n").size(), 'x');
        row("one byte past the size limit", QByteArray(kStart).replace("l2", padding), 0, "", "size limit 4096", 0, "",
            1, writing);
        for (const char *calls : {"fdatasync", "close", "tmpfile,close", "write"})
            row(calls, "", 0, calls, "", 0, "", 1, writing);
        row("no room", "", 0, "tmpfile,no-room", "", 0, "", 1, "wing_new1.afp could not be created: No space left");
        for (const char *calls : {"read", "read-once"})
            row(calls, "", 0, calls, "", 0, "", 1, "reading it failed: Input/output error");
        row("not permitted to replace", "", 0, "rename", "", 0, "", 1, "wing_new1.afp cannot be replaced: Operation");
        // Short writes, no /proc, no thread for a second core, an earlier
        // result that may only be written, no file attributes: the same bytes.
        for (const char *calls : {"short", "proc", "clone", "proc,earlier-denied", "statx"})
            row(calls, "", 0, calls, "", 0, "", 0, "");
        // Without unnamed files the result has a name until it is done, which
        // the run must take away with it, whatever signal ends it. Kernels
        // and file systems refuse unnamed files in several ways.
        row("SIGKILL", "", 0, "", "", SIGKILL, "", -SIGKILL, "");
        const char *refusals[] = {"tmpfile", "tmpfile-eisdir", "tmpfile-einval"};
        int at = 0;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGTRAP, SIGSEGV, SIGXCPU,
                                 SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSYS, SIGSTKFLT, SIGRTMIN, SIGRTMAX}) {
            const char *refusal = refusals[at++ % 3];
            row(qPrintable(QString("%1, %2").arg(strsignal(signal), refusal)), "", 0, refusal, "", signal, "", -signal,
                "");
        }
        row("SIGHUP under nohup", "", 0, "tmpfile", "nohup", SIGHUP, "", 0, "");
        // morvane-resize takes a closed pipe as a failure to print.
        row("SIGPIPE", "", 0, "tmpfile", "", SIGPIPE, "", 0, "");
        // The part changed in the middle of the run; or its name, or the
        // earlier result's, taken by a FIFO after it was looked at, a FIFO
        // never to be opened, with /proc or without.
        for (const char *how : {"truncate", "append", "rewrite", "replace"})
            row(how, "", 0, "", "", 0, how, 1, "it changed while it was read");
        for (const char *swap : {"swap", "proc,swap-second"})
            row(swap, "", 0, swap, "", 0, "", 1, "it changed while it was read");
        row("fifo-earlier", "", 0, "fifo-earlier", "", 0, "", 1, "wing_new1.afp could not be created: Stale file");
    }

    void faults()
    {
        QFETCH(QByteArray, source);
        QFETCH(qint64, size);
        QFETCH(QString, failCalls);
        QFETCH(QString, setting);
        QFETCH(int, signal);
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QString, said);
        Scene scene(source.isEmpty() ? largePart() : source);
        QVERIFY(size == 0 || QFile::resize(scene.folder.file("wing.afp"), size));
        // Permission settings run as nobody, from a copy of the program that
        // nobody can reach, the folder and the earlier result open to them
        // but for what the setting takes away.
        const bool nobody = setting.startsWith("folder") || setting.startsWith("earlier");
        const std::string folder = scene.folder.systemPath({});
        const std::string earlier = scene.folder.systemPath("wing_new1.afp");
        PartFolder reachable;
        QString program = MORVANE_RESIZE;
        if (nobody) {
            QVERIFY(chmod(folder.c_str(), 0777) == 0 && chmod(earlier.c_str(), 0666) == 0);
            const mode_t mode = setting.section(' ', 1).toUInt(nullptr, 8);
            QCOMPARE(chmod((setting.startsWith("folder") ? folder : earlier).c_str(), mode), 0);
            QVERIFY(QFile::copy(program, reachable.file("morvane-resize")));
            program = reachable.file("morvane-resize");
            QCOMPARE(chmod(reachable.systemPath({}).c_str(), 0755), 0);
        }

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString calls = failCalls + (signal != 0 || !change.isEmpty() ? ",stop" : "");
        // Preloaded only where it acts: nobody may not reach the build folder.
        environment.insert("LD_PRELOAD", calls.isEmpty() ? "" : FAIL_CALLS);
        environment.insert("FAIL_CALLS", calls);
        // The sanitizers would take SIGSEGV for their own report.
        environment.insert("ASAN_OPTIONS", "verify_asan_link_order=0:handle_segv=0");
        process.setProcessEnvironment(environment);
        process.setChildProcessModifier([setting, nobody] {
            if (setting == "nohup")
                ::signal(SIGHUP, SIG_IGN);
            if (nobody && geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))
                _exit(99);
            holdToTheTest(setting.startsWith("size limit") ? setting.section(' ', 2).toULong() : kLargestFile);
        });
        // Runs done first, made or failed, must leave the signals as the
        // process had them; a failed one only where the signal ends it.
        QStringList files{scene.folder.file("wing.afp")};
        reachable.write("first.afp", kStart);
        reachable.write("failed.afp", kStart + "1\r\n");
        if (signal != 0)
            files =
                QStringList{reachable.file("failed.afp"), reachable.file("first.afp")}.mid(status < 0 ? 0 : 1) + files;
        process.start(program, files);
        QVERIFY(process.waitForStarted());
        if (signal != 0 || !change.isEmpty()) {
            waitUntilStopped(process);
            QCOMPARE(scene.leftOver().size(), failCalls.contains("tmpfile") ? 1 : 0);
            ::change(scene, change);
            // Only ever a child that is still there: kill(0) would end the
            // whole process group, ctest with it.
            const auto pid = pid_t(process.processId());
            QVERIFY(pid > 0 && process.state() == QProcess::Running);
            if (signal != 0)
                ::kill(pid, signal);
            ::kill(pid, SIGCONT);
        }
        QVERIFY(process.waitForFinished(120000));
        QVERIFY(chmod(folder.c_str(), 0700) == 0);
        QCOMPARE(process.exitStatus() == QProcess::CrashExit ? -process.exitCode() : process.exitCode(), status);
        const QString err =
            QString(process.readAllStandardError()).remove(QRegularExpression(".*failed.afp: line 6: .*\n"));
        const QString expected = "morvane-resize: " + scene.folder.file("wing.afp") + ": " + said;
        QVERIFY2(said.isEmpty() ? err.isEmpty() : err.startsWith(expected), qPrintable(err));
        QCOMPARE(scene.leftOver(), QStringList());
        // The earlier result as it was, or the new one; and the source, where
        // it is not too large to read back.
        QFile result(scene.folder.file("wing_new1.afp"));
        if (status == 0 && size == 0)
            QVERIFY(scene.folder.read("wing_new1.afp") == largePart(true));
        else if (status == 0)
            QVERIFY(result.open(QIODevice::ReadOnly) && result.read(14) == "\"\",\"wing_new1\"");
        else
            QVERIFY(size != 0 ? scene.folder.read("wing_new1.afp") == Scene::kEarlier : scene.kept());
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
#ifndef __SANITIZE_ADDRESS__ // whose shadow memory and quarantine would count
        QVERIFY2(size == 0 || usage.ru_maxrss < 32 * 1024, qPrintable(QString::number(usage.ru_maxrss) + " KiB"));
#endif
    }
};

QTEST_GUILESS_MAIN(TestMorvaneResize)
#include "tst_morvane_resize.moc"
