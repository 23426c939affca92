// The resize run on real files: every source ends in the right file or in a
// clear failure that changes nothing in the folder.

#include "core/line_reader.h"
#include "core/part_file_names.h"
#include "core/resize_run.h"
#include "core/system/system_error.h"
#include "tests/part_folder.h"

#include <QProcess>
#include <QTest>

#include <algorithm>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include "tests/child_processes.h"

#include <acl/libacl.h>
#include <csignal>
#include <grp.h>
#include <sys/acl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace morvane;

#ifndef _WIN32
// The part, an earlier result and the run's user, as a permissions row
// gives them; the run's user owns the part and the folder.
struct Permissions {
    int source = 0644;
    const char *sourceAcl = "";
    int sourceGroup = 0;
    int earlier = -1; // none
    const char *earlierAcl = "";
    int earlierOwner = 0;
    int earlierGroup = 0;
    int user = 0;
    int umask = 022;
};
Q_DECLARE_METATYPE(Permissions)
#endif

namespace {

const QByteArray kHeader = "\"\",\"wing\",\"metal\"\r\n";
const QByteArray kNewHeader = "\"\",\"wing_new1\",\"metal-Resized\"\r\n";
const QByteArray kKept = "l2\r\nl3\r\nl4\r\nl5\r\n";
constexpr std::size_t kBlock = LineReader::kBlockSize; // what the run reads at a time

// A run or a listing must give back every descriptor it opened, or a window
// open for days runs out.
int openDescriptors()
{
#ifdef _WIN32
    DWORD handles = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
    return int(handles);
#else
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
#endif
}

#ifndef _WIN32
constexpr uid_t kNobody = 65534; // and the group nogroup

// The run acting as `user`, in its group alone, while it lives: links and
// files are then of another user or of its own. Nothing for a user who
// cannot change.
struct ActingAs {
    explicit ActingAs(uid_t user)
        : groups(getgroups(int(std::size(held)), held)),
          changed(user != geteuid() && groups >= 0 && setgroups(0, nullptr) == 0 && setegid(user) == 0
                  && seteuid(user) == 0)
    {
    }
    ~ActingAs()
    {
        if (changed && (seteuid(0) != 0 || setegid(0) != 0 || setgroups(std::size_t(groups), held) != 0))
            qFatal("cannot act as root again");
    }
    gid_t held[64];
    const int groups;
    const bool changed;
};

// An access ACL as text, one entry a line; "" for none beyond the mode bits.
QByteArray aclText(const std::string &path)
{
    const acl_t acl = acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
    mode_t mode = 0;
    if (!acl || acl_equiv_mode(acl, &mode) == 0) {
        acl_free(acl);
        return "";
    }
    char *text = acl_to_text(acl, nullptr);
    const QByteArray result(text);
    acl_free(text);
    acl_free(acl);
    return result;
}
#endif

} // namespace

class TestResizeRun : public QObject {
    Q_OBJECT

    // Where the tests are run from: a run that went astray with a relative
    // path writes here, not beside the tests.
    QTemporaryDir m_workingFolder;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(m_workingFolder.path())); }

    void runs_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<ResizeSettings>("settings");
        QTest::addColumn<QByteArray>("result"); // where it succeeds
        QTest::addColumn<Fails>("fails");
        QTest::addColumn<int>("line"); // where it fails
        QTest::addColumn<int>("general"); // coordinate lines the general rules take
        // Given two cores, the most lines the fast path may keep to one and
        // the most windows it may share; -1 for any.
        QTest::addColumn<int>("alone");
        QTest::addColumn<int>("windows");
        const QByteArray start = kHeader + kKept, done = kNewHeader + kKept;
        const auto ok = [](const char *tag, const QByteArray &source, const QByteArray &result,
                           const ResizeSettings &settings = {}, int general = 0, int alone = -1, int windows = -1) {
            QTest::newRow(tag) << source << settings << result << Fails() << 0 << general << alone << windows;
        };
        const auto fails = [](const char *tag, const QByteArray &source, ErrorKind kind, int line,
                              const ResizeSettings &settings = {}) {
            QTest::newRow(tag) << source << settings << QByteArray() << Fails(kind) << line << 0 << 0 << 0;
        };
        ok("worked example, mixed line ends",
           kHeader + "\"\",1,2,3\n" + bytes("kept \xE9\0 bytes\n")
               + "l4\r\nl5\n\"\",1.234,-2.5,3.3\r\n\"\",0.125,0.375,1e1",
           kNewHeader + "\"\",1,2,3\r\n" + bytes("kept \xE9\0 bytes\r\n")
               + "l4\r\nl5\r\n\"\",2.47,-2.5,1.65\r\n\"\",0.25,0.38,5\r\n",
           {"2", "1.00", "0.5", PrecisionMode::AF99}, 1);
        ok("empty file", "", "");
        ok("header without a line end", kHeader.chopped(2), kNewHeader);
        ok("five lines whatever the factors", start, done, {"abc", "", "1,5", PrecisionMode::AF5});
        ok("lone CRs kept", kHeader + "a\rb\r\nc\r", kNewHeader + "a\rb\r\nc\r\r\n");
        // A kept line whose CR LF, or whose lone CR, is split by the end of a block.
        const QByteArray toBlockEnd(qsizetype(kBlock) - kHeader.size() - 1, 'x');
        ok("CR LF across blocks", kHeader + toBlockEnd + "\r\nl3", kNewHeader + toBlockEnd + "\r\nl3\r\n");
        ok("lone CR across blocks", kHeader + toBlockEnd + "\rx\n", kNewHeader + toBlockEnd + "\rx\r\n");
        const QByteArray big(50 * 1024 * 1024, 'x');
        ok("a kept line of 50 MB", kHeader + big + "\r\n", kNewHeader + big + "\r\n");
        // Lines enough for many blocks. Given two cores, the fast path shares
        // all but a window's end too short to share, 64 KiB at most.
        const auto many = [](const QByteArray &line) { return line.repeated(kBlock / 6); };
        const QByteArray blanks(qsizetype(kBlock) + 44 * 1024, ' ');
        ok("fast lines across blocks", start + many("\"\",1.5,-2.25,3\r\n") + "\"\", " + blanks + "1,2,3",
           done + many("\"\",3,-4.5,6\r\n") + "\"\",2,4,6\r\n", {"2", "2", "2", PrecisionMode::AF99}, 1, 4096);
        ok("general lines across blocks", start + many("\"\",1e0,-2.2500000000000000000,3\n"),
           done + many("\"\",2,-4.5,6\r\n"), {"2", "2", "2", PrecisionMode::AF5}, int(kBlock / 6));
        // Some 4 MB of lines. After a window shared only in part, the fast
        // path keeps to one core for 1 MiB, then 2, then 4: at most 3 windows
        // are shared in 4 MiB each of which holds a line for the general rules.
        const QByteArray common = "\"\",1,-2.5,3\r\n", commonDone = "\"\",1000000000,-5,3\r\n";
        const ResizeSettings large = {"1e9", "2", "1", PrecisionMode::AF5};
        ok("results of 10^15 amid fast lines", start + (common.repeated(99) + "\"\",9999999,1,1\r\n").repeated(3200),
           done + (commonDone.repeated(99) + "\"\",9.999999E+15,2,1\r\n").repeated(3200), large, 3200, -1, 3);
        // After one such window, shared again for good after 1 MiB: on one
        // core no more than that, a batch of lines and the ends of a block
        // and of the part, too short to share.
        ok("a line of another form early",
           start + common.repeated(77) + "\"\",1.0000000000000000000,-2.5,3\r\n" + common.repeated(320000),
           done + commonDone.repeated(320078), large, 1, int(kBlock + 128 * 1024) / 13 + 1024);
        // A factor that does not read leaves the lines to the general rules.
        fails("bad factor at line 6", start + "\"\",1,2,3\r\n", ErrorKind::TypeMismatch, 6, {"1", "x", "1"});
        fails("bad field later", start + "\"\",1,2,3\r\n\"\",1,2,3\r\n\"\",1,two,3\r\n", ErrorKind::TypeMismatch, 8);
        fails("trailing empty line", start + "\"\",1,2,3\r\n\r\n", ErrorKind::InvalidArgument, 7);
        fails("no header", "no header\r\n" + kKept, ErrorKind::InvalidArgument, 1);
        fails("lines ending in CR alone", "\"\",\"wing\",\"metal\"\rl2\rl3\rl4\rl5\r\"\",1,2,3\r\"\",\"4\"\r\n",
              ErrorKind::InvalidArgument, 1);
        fails("header of 50 MB", "\"\",\"wing\",\"" + big + "\"\r\n", ErrorKind::Overflow, 1);
        fails("line over 4 MiB", start + "\"\",1,2," + QByteArray(5 << 20, '1') + "\r\n", ErrorKind::Overflow, 6);
    }

    void runs()
    {
        QFETCH(QByteArray, source);
        QFETCH(ResizeSettings, settings);
        QFETCH(QByteArray, result);
        QFETCH(int, line);
        QFETCH(int, alone);
        QFETCH(int, windows);
        const Scene scene(source);
        const int descriptors = openDescriptors();
        RunCounts one, two; // on one core, then given two
        const ResizeOutcome outcome =
            runResize({scene.folder.path(), "wing.afp"}, settings, {.secondCore = false, .keep = {}, .counts = &one});
        QCOMPARE(openDescriptors(), descriptors);
        QCOMPARE(scene.leftOver(), QStringList());
        const auto *failed = std::get_if<Failed>(&outcome);
        QTEST(failed ? Fails(failed->error.kind) : Fails(), "fails");
        // On one core the fast path leaves the general rules only the lines
        // it must.
        QTEST(int(one.general), "general");
        if (failed) {
            QCOMPARE(failed->error.line, std::optional<std::uint64_t>(line));
            QVERIFY(
                outcomeMessage(outcome).startsWith(QStringLiteral("Could not resize wing.afp: line %1: ").arg(line)));
            QVERIFY(outcomeMessage(outcome).size() < 300 && scene.kept());
            return;
        }
        QCOMPARE(std::get<Created>(outcome).newFileName, QStringLiteral("wing_new1.afp"));
        QVERIFY(scene.folder.read("wing_new1.afp") == result);
        // Two cores, as morvane-resize runs it, give the same.
        QVERIFY(std::holds_alternative<Created>(
            runResize({scene.folder.path(), "wing.afp"}, settings, {.secondCore = true, .keep = {}, .counts = &two})));
        QVERIFY(scene.folder.read("wing_new1.afp") == result && scene.folder.read("wing.afp") == source);
        if (std::thread::hardware_concurrency() < 2)
            return;
        // The window's run keeps to one core. Given two, the fast path shares
        // its windows while the back-off lets it; where most lines went in
        // windows shared, the second core took its share of them.
        QVERIFY(one.sharedWindows == 0 && two.general == one.general && two.fast + two.shared == one.fast);
        QVERIFY(two.fast <= std::uint64_t(alone) && two.sharedWindows <= std::uint64_t(windows));
        QVERIFY(two.secondCore <= two.shared && (two.secondCore * two.sharedWindows > 0 || 2 * two.shared <= one.fast));
    }

#ifndef _WIN32
    // What a run does where the new file's name is taken: by a link, maybe
    // planted by another user, or by a file that is no part file. Another
    // user's file, or anything but a regular file, is never replaced.
    void destinations_data()
    {
        // Each planted: "L name target" a link, "L*" another user's ("=" for
        // a target as it stands, else inside the folder); "N name" given to
        // another user; "E name" an earlier result, open to all; "F name" a
        // FIFO; "S name" a socket; "T name" made sticky and open to all; "+a
        // name" made append-only, "+i name" immutable; "U" the run acting as
        // another user. The folder holds the part, mine.afp, sub/mine.afp and
        // the FIFO pipe.
        QTest::addColumn<QStringList>("planted");
        QTest::addColumn<QByteArray>("writtenAt"); // where the result goes, where it is made
        QTest::addColumn<QString>("said"); // how the failure begins, where it fails
        const auto ok = [](const char *tag, const QStringList &planted, const char *at) {
            QTest::newRow(tag) << planted << QByteArray(at) << QString();
        };
        const auto fails = [](const char *tag, const QStringList &planted, const QString &said) {
            QTest::newRow(tag) << planted << QByteArray() << said;
        };
        const QString refused = "will not write through the link wing_new1.afp: ";
        const QString link = "L wing_new1.afp ";
        ok("nothing", {}, "wing_new1.afp");
        ok("an earlier result", {"E wing_new1.afp"}, "wing_new1.afp");
        ok("own link", {link + "mine.afp"}, "mine.afp");
        ok("own relative links", {link + "=sub/../hop.afp", "L hop.afp =./mine.afp"}, "mine.afp");
        ok("own link through a folder link", {"L up sub/..", link + "=up/mine.afp"}, "mine.afp");
        fails("another user's link", {"L* wing_new1.afp mine.afp"}, refused + "the link is another user's");
        fails("own link to another user's file", {"N mine.afp", link + "mine.afp"},
              refused + "it leads to another user's file");
        fails("own link through another user's link", {"L* hop.afp mine.afp", link + "hop.afp"},
              refused + "it leads through another user's link");
        fails("own link through another user's folder link", {"L* out sub", link + "out/mine.afp"},
              refused + "it leads through another user's link");
        fails("link to /dev/null", {link + "=/dev/null"}, refused + "it leads to a character device, not a part file");
        fails("link to a FIFO", {link + "pipe"}, refused + "it leads to a FIFO, not a part file");
        fails("link to a folder", {link + "sub"}, refused + "it leads to a folder, not a part file");
        fails("dangling link", {link + "gone.afp"}, refused + "it leads to no file");
        fails("link into no folder", {link + "mine.afp/x.afp"}, refused + "it leads to no file");
        fails("a FIFO", {"F wing_new1.afp"}, "a FIFO named wing_new1.afp is in the way of the new file");
        fails("a socket", {"S wing_new1.afp"}, "a socket named wing_new1.afp is in the way of the new file");
        fails("link to the part", {link + "wing.afp"}, "wing_new1.afp is a link to the part itself");
        fails("link loop", {link + "loop.afp", "L loop.afp wing_new1.afp"},
              "wing_new1.afp could not be created: Too many levels");
        // In a sticky folder only the owner of a file or of the folder, or
        // root, may replace it; nothing may replace an append-only or an
        // immutable file, nor take a name from an append-only folder.
        const QString earlier = "E wing_new1.afp";
        const QString cannot = "wing_new1.afp cannot be replaced: it is ";
        fails("another user's file in a sticky folder", {earlier, "T .", "U"}, cannot + "another user's file in a");
        ok("own file in a sticky folder", {earlier, "T .", "N wing_new1.afp", "U"}, "wing_new1.afp");
        ok("another user's file in own sticky folder", {earlier, "T .", "N .", "U"}, "wing_new1.afp");
        ok("root in another user's sticky folder", {earlier, "T .", "N .", "N wing_new1.afp"}, "wing_new1.afp");
        fails("append-only earlier result", {earlier, "+a wing_new1.afp"}, cannot + "append-only");
        fails("immutable earlier result", {earlier, "+i wing_new1.afp"}, cannot + "immutable");
        fails("append-only folder", {"+a ."}, "wing_new1.afp could not be created: Operation not permitted");
    }

    void destinations()
    {
        QFETCH(QStringList, planted);
        QFETCH(QByteArray, writtenAt);
        QFETCH(QString, said);
        PartFolder folder;
        folder.write("wing.afp", kHeader);
        QVERIFY(QDir(folder.path()).mkdir("sub"));
        for (const char *mine : {"mine.afp", "sub/mine.afp"})
            folder.write(mine, "mine\r\n");
        QCOMPARE(mkfifo(folder.systemPath("pipe").c_str(), 0600), 0);
        QString locked;
        for (const QString &plant : planted) {
            const QStringList word = plant.split(' ');
            const std::string at = folder.systemPath(word.value(1).toUtf8());
            if (word[0] == "E")
                folder.write(word[1].toUtf8(), Scene::kEarlier);
            else if (word[0] == "F" || word[0] == "S")
                QCOMPARE(mknod(at.c_str(), (word[0] == "F" ? S_IFIFO : S_IFSOCK) | 0600, 0), 0);
            else if (word[0].startsWith('L'))
                QVERIFY(
                    QFile::link(word[2].startsWith('=') ? word[2].mid(1) : folder.file(word[2]), folder.file(word[1])));
            else if (plant[0] == '+' && QProcess::execute("chattr", {word[0], locked = folder.file(word[1])}) != 0)
                QSKIP("the file system cannot make a file append-only or immutable, or only root can");
            if ((word[0] == "E" || word[0] == "T") && chmod(at.c_str(), word[0] == "E" ? 0666 : 01777) != 0)
                QFAIL("cannot open it to all");
            if ((word[0] == "L*" && lchown(at.c_str(), kNobody, kNobody) != 0)
                || (word[0] == "N" && chown(at.c_str(), kNobody, kNobody) != 0) || (word[0] == "U" && geteuid() != 0))
                QSKIP("only root can give a file to another user, or act as one");
        }
        QStringList after = folder.entries();
        // Till the end: the folder as the run's user sees it.
        const ActingAs acting{planted.contains("U") ? kNobody : geteuid()};
        const ResizeOutcome outcome = runResize({folder.path(), "wing.afp"}, {});
        // Else the folder cannot be removed; by root, as chattr rows run.
        if (!locked.isEmpty())
            QProcess::execute("chattr", {"-ai", locked});
        QCOMPARE(folder.read("wing.afp"), kHeader);
        QVERIFY(QFileInfo("/dev/null").exists() && !QFileInfo("/dev/null").isFile());
        const auto *failed = std::get_if<Failed>(&outcome);
        QVERIFY2(said.isEmpty() == !failed, failed ? qPrintable(failed->error.what) : "created");
        if (planted.isEmpty())
            after << "wing_new1.afp";
        after.sort();
        QCOMPARE(folder.entries(), after);
        QCOMPARE(folder.read("sub/mine.afp"), "mine\r\n");
        QCOMPARE(folder.read("mine.afp"), writtenAt == "mine.afp" ? kNewHeader : "mine\r\n");
        if (failed) {
            QVERIFY2(failed->error.what.startsWith(said), qPrintable(failed->error.what));
            return;
        }
        QCOMPARE(folder.read(writtenAt), kNewHeader);
        QVERIFY(writtenAt == "wing_new1.afp" || QFileInfo(folder.file("wing_new1.afp")).isSymLink());
    }

    // The permissions of the new file: never wider than the part's or the
    // earlier result's, never set-ID.
    void permissions_data()
    {
        QTest::addColumn<Permissions>("given");
        QTest::addColumn<int>("mode"); // of the new file
        QTest::addColumn<QByteArray>("acl");
        QTest::addColumn<int>("group");
        const auto row = [](const char *tag, const Permissions &given, int mode, const char *acl, int group = 0) {
            QTest::newRow(tag) << given << mode << QByteArray(acl) << group;
        };
        const int nobody = int(kNobody);
        row("first result of a private part", {.source = 0600}, 0600, "");
        row("first result under umask 077", {.umask = 077}, 0600, "");
        row("first result of a shared part", {.source = 0664, .umask = 002}, 0664, "");
        row("first result of a set-ID part", {.source = 06755}, 0755, "");
        row("first result of a part with an ACL",
            {.source = 0640, .sourceAcl = "user::rw-\nuser:nobody:r--\ngroup::---\nmask::r--\nother::---\n"}, 0600, "");
        row("first result takes the part's group", {.source = 0640, .sourceGroup = nobody}, 0640, "", nobody);
        row("first result, the part's group not the user's", {.source = 0640, .user = nobody}, 0600, "", nobody);
        row("earlier bits kept", {.earlier = 0604}, 0604, "");
        row("earlier more private than the part", {.earlier = 0600}, 0600, "");
        row("set-ID and sticky bits dropped", {.earlier = 07775}, 0775, "");
        row("another user's set-ID file", {.earlier = 06755, .earlierOwner = nobody, .earlierGroup = nobody}, 0755, "",
            nobody);
        const char *acl = "user::rw-\nuser:nobody:rw-\ngroup::r--\nmask::rw-\nother::---\n";
        row("ACL carried whole", {.earlier = 0660, .earlierAcl = acl}, 0660, acl);
        row("ACL of another user's file",
            {.earlier = 0660, .earlierAcl = acl, .earlierOwner = nobody, .earlierGroup = nobody}, 0660, acl, nobody);
        const char *groupAcl = "user::rw-\ngroup::rw-\ngroup:nogroup:r--\nmask::rw-\nother::---\n";
        const char *masked =
            "user::rw-\ngroup::rw-\t#effective:---\ngroup:nogroup:r--\t#effective:---\nmask::---\nother::---\n";
        // The earlier result's group is root's, which nobody, the run's user, cannot give.
        const auto ofGroup = [&](const char *acl) {
            return Permissions{
                .sourceGroup = nobody, .earlier = 0664, .earlierAcl = acl, .earlierOwner = nobody, .user = nobody};
        };
        row("group not the user's: no more than others", ofGroup(""), 0644, "", nobody);
        row("ACL of a group not the user's", ofGroup(groupAcl), 0600, masked, nobody);
    }

    void permissions()
    {
        QFETCH(Permissions, given);
        const Scene scene(kHeader);
        const std::string folder = scene.folder.systemPath({});
        const std::string part = scene.folder.systemPath("wing.afp");
        const std::string result = scene.folder.systemPath("wing_new1.afp");
        // False where only root could, or the file system has no ACLs.
        const auto give = [](const std::string &path, int owner, int group, int mode, const char *aclText) {
            const acl_t acl = *aclText ? acl_from_text(aclText) : nullptr;
            const bool given = chown(path.c_str(), uid_t(owner), gid_t(group)) == 0
                && chmod(path.c_str(), mode_t(mode)) == 0
                && (!acl || acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl) == 0);
            acl_free(acl);
            return given;
        };
        if (!give(part, given.user, given.sourceGroup, given.source, given.sourceAcl)
            || chown(folder.c_str(), uid_t(given.user), gid_t(given.user)) != 0
            || (given.earlier < 0
                    ? unlink(result.c_str()) != 0
                    : !give(result, given.earlierOwner, given.earlierGroup, given.earlier, given.earlierAcl)))
            QSKIP("only root can give files away, and only where there are ACLs");
        const mode_t previousUmask = ::umask(mode_t(given.umask));
        ResizeOutcome outcome;
        {
            const ActingAs acting{uid_t(given.user)};
            if (given.user != 0 && !acting.changed)
                QSKIP("only root can act as another user");
            outcome = runResize({scene.folder.path(), "wing.afp"}, {});
        }
        ::umask(previousUmask);
        struct stat made {};
        QVERIFY(std::holds_alternative<Created>(outcome) && stat(result.c_str(), &made) == 0);
        QCOMPARE(made.st_uid, uid_t(given.user));
        QTEST(int(made.st_gid), "group");
        QTEST(int(made.st_mode & 07777), "mode");
        QTEST(aclText(result), "acl");
    }

    // A run takes SIGXFSZ out of its way while it writes, so that a write
    // past the size limit fails instead of ending the window, and leaves it as
    // the process had it: taken to its default action, ignored, or handled.
    void fileSizeSignalAsTheProcessHadIt()
    {
        const Scene scene(kHeader);
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit sixteenBytes{16, 16};
            holdToTheTest();
            bool held = ::setrlimit(RLIMIT_FSIZE, &sixteenBytes) == 0;
            for (const sighandler_t handler : {SIG_DFL, SIG_IGN, +[](int) {}}) {
                ::signal(SIGXFSZ, handler);
                const ResizeOutcome outcome = runResize({scene.folder.path(), "wing.afp"}, {});
                held = held && outcomeMessage(outcome).contains(QStringLiteral("failed: File too large."))
                    && ::signal(SIGXFSZ, SIG_DFL) == handler;
            }
            _exit(held ? 0 : 1);
        }
        int status = -1;
        QVERIFY(child > 0 && ::waitpid(child, &status, 0) == child && status == 0);
        QVERIFY(scene.kept() && scene.leftOver().isEmpty());
    }

#endif

#ifdef _WIN32
    // What Windows has for the faults POSIX tests make: a part or an earlier
    // result that another program holds, the read-only attribute, and a part
    // whose name another file takes once it has been looked up, which is seen
    // before anything is read, or held, from it. A flush cannot be made to
    // fail here, nor the process be interrupted from within a test, nor the
    // new file be seen hidden while it is made: under Wine its leading dot
    // hides it anyway.
    void windowsOwn_data()
    {
        // A file another program holds; "taken" for a part's name taken by
        // another file that one holds.
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("said"); // how the failure begins
        // In the system's own words: Windows and Wine word it differently.
        const QString locked = errorText(ERROR_SHARING_VIOLATION);
        const QString earlier = "wing_new1.afp could not be created: ";
        QTest::newRow("part locked") << "wing.afp"
                                     << "it could not be opened for reading: " + locked;
        QTest::newRow("earlier result locked") << "wing_new1.afp" << earlier + locked;
        QTest::newRow("earlier result read-only") << "read-only" << earlier + "the existing file is not writable";
        QTest::newRow("part's name taken") << "taken"
                                           << "it changed while it was read";
    }
    void windowsOwn()
    {
        QFETCH(QString, held);
        QFETCH(QString, said);
        const Scene scene(kHeader);
        const std::wstring part = scene.folder.systemPath("wing.afp").wstring();
        const std::wstring earlier = scene.folder.systemPath("wing_new1.afp").wstring();
        QVERIFY(held != "read-only" || ::SetFileAttributesW(earlier.c_str(), FILE_ATTRIBUTE_READONLY));
        const auto hold = [](const std::wstring &path, DWORD disposition) {
            return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, 0,
                                 nullptr);
        };
        // None where there is no such file.
        HANDLE holder = hold(scene.folder.systemPath(held).wstring(), OPEN_EXISTING);
        // The run asks what to keep between looking the part up and opening
        // it. The part is moved, not removed, so that the file system cannot
        // give its number to what takes its name.
        RunOptions options;
        options.keep = [&](const FileIdentity &) {
            if (held == "taken" && ::MoveFileW(part.c_str(), scene.folder.systemPath("old.afp").c_str()))
                holder = hold(part, CREATE_NEW);
            return std::optional<KeptFile>();
        };
        const ResizeOutcome outcome = runResize({scene.folder.path(), "wing.afp"}, {}, options);
        ::CloseHandle(holder);
        ::SetFileAttributesW(earlier.c_str(), FILE_ATTRIBUTE_NORMAL);
        const auto *failed = std::get_if<Failed>(&outcome);
        QVERIFY2(failed && failed->error.what.startsWith(said), failed ? qPrintable(failed->error.what) : "created");
        QCOMPARE(scene.leftOver(), held == "taken" ? QStringList{"old.afp"} : QStringList());
        QVERIFY(held == "taken" || scene.kept());
    }
#endif

    // A name on Windows is UTF-16, which may hold a lone surrogate: shown as
    // the bytes UTF-8 would give it, as a name that is not UTF-8 is.
    void shownWideNames()
    {
        const QString text = QString::fromUtf16(u"~\u00E9\u07FF\u0800\U00010000");
        QCOMPARE(shownName(text + u'\u009B' + QChar(0xD800) + u'a' + QChar(0xDC00)),
                 text + "\\xC2\\x9B\\xED\\xA0\\x80a\\xED\\xB0\\x80");
    }

    // The window's list order: letters first whatever their case, a name in
    // capitals before the same in small letters, a name before one that
    // goes on from it. Qt gives letter distances, so neighbours in the
    // alphabet compare as 1 or -1.
    void nameOrder()
    {
        QStringList names{"C.AFP", "ab.afp", "b.afp", "a.afp", "B.afp", "A.afp"};
        std::sort(names.begin(), names.end(), partNameBefore);
        QCOMPARE(names, QStringList({"A.afp", "a.afp", "ab.afp", "B.afp", "b.afp", "C.AFP"}));
        QVERIFY(!partNameBefore("a.afp", "a.afp"));
    }

    // Names in a folder that holds, besides the part and its earlier result, a
    // UTF-8 twin of w\xE9.afp, a folder, a FIFO and a link to a device.
    void names_data()
    {
        QTest::addColumn<NativeName>("name");
        QTest::addColumn<bool>("written"); // a part of that name is made first
        QTest::addColumn<NativeName>("result"); // the new file's name, where it succeeds
        QTest::addColumn<Fails>("fails");
        const auto ok = [](const NativeName &name, const NativeName &result) {
            QTest::newRow(qPrintable(shownName(name).left(40))) << name << true << result << Fails();
        };
        const auto fails = [](const char *tag, const NativeName &name, ErrorKind kind, bool written = false) {
            QTest::newRow(tag) << name << written << NativeName() << Fails(kind);
        };
        ok("WING.AFP", "WING_new1.afp");
        ok("wing_new1.afp", "wing_new1_new1.afp");
        ok("left wing.afp", "left wing_new1.afp");
        ok(NativeName(246, 'n') + ".afp", NativeName(246, 'n') + "_new1.afp");
        fails("new name over 255 characters", NativeName(247, 'n') + ".afp", ErrorKind::PathError, true);
        fails("not a part file", "wing.txt", ErrorKind::InvalidArgument, true);
        fails("a path", "../wing.afp", ErrorKind::InvalidArgument);
        fails("a NUL", NativeName("wing.afp") + '\0' + ".afp", ErrorKind::InvalidArgument);
        fails("vanished", "gone.afp", ErrorKind::FileNotFound);
        fails("folder.afp", "folder.afp", ErrorKind::PathError);
#ifdef _WIN32
        // Windows allows no line break in a name; its device names are no
        // files, whatever follows a dot and in any case.
        ok(QStringLiteral("w\u00E9.afp"), QStringLiteral("w\u00E9_new1.afp"));
        fails("a path with a backslash", "..\\wing.afp", ErrorKind::InvalidArgument);
        fails("no ANSI name", QStringLiteral("w\u03A9\u4E2D.afp"), ErrorKind::InvalidArgument, true);
        for (const char *name : {"CON.afp", "nul.afp", "Com1.afp", "LPT9.AFP"})
            fails(name, name, ErrorKind::PathError);
#else
        ok("w\xE9.afp", "w\xE9_new1.afp");
        // The new name would break the first line of the new file in two.
        fails("a line break", "wi\nng.afp", ErrorKind::InvalidArgument, true);
        fails("a carriage return", "wi\rng.afp", ErrorKind::InvalidArgument, true);
        for (const char *name : {"fifo.afp", "zero.afp"})
            fails(name, name, ErrorKind::PathError);
#endif
    }

    void names()
    {
        QFETCH(NativeName, name);
        QFETCH(bool, written);
        QFETCH(NativeName, result);
        PartFolder folder;
        const bool withEarlier = written && isPartFileName(name) && newFileNameFor(name).size() <= 255;
        if (written)
            folder.write(name, kHeader);
        if (withEarlier)
            folder.write(newFileNameFor(name), "earlier\r\n");
        folder.write("w\xEF\xBF\xBD.afp", "a twin\r\n");
        QVERIFY(QDir(folder.path()).mkpath("folder.afp"));
#ifndef _WIN32
        QVERIFY(QFile::link("/dev/zero", folder.file("zero.afp")));
        QCOMPARE(mkfifo(folder.systemPath("fifo.afp").c_str(), 0600), 0);
#endif
        const QStringList before = folder.entries();
        const int descriptors = openDescriptors();
        const ResizeOutcome outcome = runResize(nativeName(folder.path()), name, {});
        QCOMPARE(openDescriptors(), descriptors);
        QCOMPARE(folder.read("w\xEF\xBF\xBD.afp"), "a twin\r\n");
        QCOMPARE(folder.entries(), before);
        const auto *failed = std::get_if<Failed>(&outcome);
        QTEST(failed ? Fails(failed->error.kind) : Fails(), "fails");
        if (failed) {
            QVERIFY(outcomeMessage(outcome).startsWith("Could not resize " + shownName(name) + ": "));
            QVERIFY(outcomeMessage(outcome).endsWith(". No file was changed."));
            if (withEarlier)
                QCOMPARE(folder.read(newFileNameFor(name)), "earlier\r\n");
            return;
        }
        QCOMPARE(folder.read(result),
                 "\"\",\"" + QByteArray::fromStdString(*headerText(result.chopped(4))) + "\",\"metal-Resized\"\r\n");
        QCOMPARE(folder.read(name), kHeader);
    }
};

QTEST_GUILESS_MAIN(TestResizeRun)
#include "tst_resize_run.moc"
