// morvane-resize.exe as a Windows user meets it: wide names, wildcards the
// command expands itself, names of any letter case, the system's code page
// in the header, backslashes in paths, paths in every form Windows takes,
// and names as Windows takes them.

#include "tests/part_folder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <windows.h>

const QByteArray kPart = "\"\",\"x\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1.234,-2.5,3.3\r\n";

// Wine serves \\server\share from dosdevices\unc\server\share in its
// prefix, where the parts are then made; Windows serves each drive as its
// administrative share, C$.
const auto kUnixName = reinterpret_cast<char *(CDECL *)(const wchar_t *)>(
    reinterpret_cast<void *>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));

class TestCommandWindows : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        // Each new file: its first line names it in the code page, and it shows
        // the hidden and system attributes where it replaces B_NEW1.AFP, which
        // has them, and never else.
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // how standard error begins
        const auto row = [](const char *tag, const QStringList &arguments, int status, const QString &out,
                            const QString &err = {}) { QTest::newRow(tag) << arguments << status << out << err; };
        row("no match", {"*.xyz"}, 1, "", "morvane-resize: *.xyz: it is not a part file (.afp)");
        row("one file in two cases, an earlier result in another", {"a.afp", "A.AFP", "b.afp"}, 1,
            "a_new1.afp\nb_new1.afp\n",
            "morvane-resize: A.AFP: will not overwrite just-created A_new1.afp, made from a.afp");
        row("a name in the code page", {QStringLiteral("w\u00EFng.afp")}, 0, QStringLiteral("w\u00EFng_new1.afp\n"));
        // %F is the folder, %U its path through a share without the leading
        // \\, and %S the short name of winglongname.afp.
        row("every form of path, with wildcards",
            {R"(\\?\%F\wing.afp)", R"(\\.\%F\?.afp)", R"(\\%U\winglong*.afp)", R"(\\?\UNC\%U\parts\*)"}, 0,
            R"(\\?\%F\wing_new1.afp|\\.\%F\a_new1.afp|\\.\%F\b_new1.afp|\\%U\winglongname_new1.afp|)"
            R"(\\?\UNC\%U\parts\wing_new1.afp|)");
        // As every Win32 program takes them, but in a \\?\ path.
        row("trailing dots and spaces, a short name", {"wing.afp.", "parts\\wing.afp . ", "%S", R"(\\?\%F\a.afp.)"}, 1,
            "wing_new1.afp\nparts\\wing_new1.afp\nwinglongname_new1.afp\n",
            R"(morvane-resize: \\?\%F\a.afp.: it is not a part file (.afp))");
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString shares =
            kUnixName ? "Z:" + QString(kUnixName(L"C:\\")).chopped(3) + "unc/localhost" : QDir::tempPath();
        QVERIFY(QDir().mkpath(shares));
        PartFolder folder;
        folder.dir = QTemporaryDir(shares + "/parts-XXXXXX");
        const QString native = QDir::toNativeSeparators(folder.path());
        QVERIFY(QDir(folder.path()).mkdir("parts"));
        for (const QString &name :
             QStringList{"a.afp", "b.afp", "wing.afp", "parts/wing.afp", "w\u00EFng.afp", "winglongname.afp"})
            folder.write(name, kPart);
        folder.write("B_NEW1.AFP", "an earlier result\r\n");
        constexpr DWORD kShown = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        QVERIFY(::SetFileAttributesW(folder.systemPath("B_NEW1.AFP").c_str(), kShown));
        WIN32_FIND_DATAW found{};
        ::FindClose(::FindFirstFileW(folder.systemPath("winglongname.afp").c_str(), &found));
        const auto placed = [&](QString text) {
            return text.replace(u'|', u'\n')
                .replace("%F", native)
                .replace("%U",
                         "localhost\\" + (kUnixName ? native.section(u'\\', -1) : native.left(1) + "$" + native.mid(2)))
                .replace("%S", QString::fromWCharArray(found.cAlternateFileName));
        };
        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.start(QCoreApplication::applicationDirPath() + "/" MORVANE_RESIZE,
                      placed(arguments.join('\0')).split('\0'));
        QVERIFY(process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        // Lines end in CR LF, as text files and pipes take them on Windows.
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).remove(u'\r'), placed(out));
        const QString said = QString::fromUtf8(process.readAllStandardError()).remove(u'\r');
        QVERIFY2(err.isEmpty() ? said.isEmpty() : said.startsWith(placed(err)), qPrintable(said));
        for (const QString &made : placed(out).split(u'\n', Qt::SkipEmptyParts)) {
            QFile file(QDir(folder.path()).filePath(made));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(made));
            QCOMPARE(file.readLine().split('"').value(3), made.section(u'\\', -1).chopped(4).toLocal8Bit());
            QCOMPARE(::GetFileAttributesW(file.fileName().toStdWString().c_str()) & kShown,
                     made.endsWith("b_new1.afp") ? kShown : 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandWindows)
#include "tst_command_windows.moc"
