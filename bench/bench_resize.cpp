// Times a resize of a large part against cat copying the same file, and
// against a durable copy (cat, then the copy synced), each in the same run,
// best of several rounds; then the time per line of each fast path variant
// and of the general rules, and the peak resident memory.

#include "core/part_picture.h"
#include "core/part_scan.h"
#include "core/resize_run.h"
#include "core/rules/fast_coordinate_line.h"
#include "core/rules/part_lines.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// Forms of coordinate lines: as parts mostly hold them, which the fast path
// takes, and others the general rules take, alone or among the first.
struct LineForm {
    const char *name;
    const char *format; // of three values
    int every; // of every so many lines, the rest of the first form; 0: each form whole in turn
};
constexpr LineForm kForms[] = {
    {"\"\",%.3f,%.3f,%.2f", "\"\",%.3f,%.3f,%.2f\r\n", 1},
    {"\"\",%.3f,%.3f,%.3f", "\"\",%.3f,%.3f,%.3f\r\n", 1},
    {"\"\",%.8f,%.8f,%.8f", "\"\",%.8f,%.8f,%.8f\r\n", 1},
    {"\"\",%.3e,%.3e,%.3e", "\"\",%.3e,%.3e,%.3e\r\n", 1},
    {"\"\",%.6e,%.6e,%.6e", "\"\",%.6e,%.6e,%.6e\r\n", 1},
    {"\"\",%.15g,%.15g,%.15g", "\"\",%.15g,%.15g,%.15g\r\n", 1},
    {"\"\",%.17g,%.17g,%.17g", "\"\",%.17g,%.17g,%.17g\r\n", 1},
    {"\"\", %.3f, %.3f, %.2f", "\"\", %.3f, %.3f, %.2f\r\n", 1},
    {"each form above in turn", "", 0},
    // More digits than a double holds exactly: the general rules' lines.
    {"1 line in 100 of %.19f", "\"\",%.19f,%.19f,%.19f\r\n", 100},
    {"1 line in 5000 of %.19f", "\"\",%.19f,%.19f,%.19f\r\n", 5000},
};
// The form each other's time a line is held to.
constexpr const LineForm &kThreeDecimals = kForms[1];

// A part of `lines` coordinate lines of values within ±1000.
bool writePart(const std::string &path, long long lines, const LineForm &form = kForms[0])
{
    std::ofstream out(path, std::ios::binary);
    out << "\"\",\"bench\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n";
    std::mt19937_64 random(2001);
    std::uniform_real_distribution<double> value(-1000, 1000);
    char line[128];
    for (long long i = 1; i <= lines; ++i) {
        const char *format = form.every == 0 ? kForms[i % (&form - kForms)].format
            : i % form.every == 0            ? form.format
                                             : kForms[0].format;
        out.write(line, std::snprintf(line, sizeof line, format, value(random), value(random), value(random)));
    }
    return bool(out.flush());
}

// The best of `rounds` timings of `step`, in seconds; -1 where it failed.
// Before each, untimed, `output` is removed and the disk synced, so that
// every contestant writes a new file and none pays for another's deletion.
double best(int rounds, const std::function<bool()> &step, const QString &output = {})
{
    double fastest = -1;
    for (int round = 0; round < rounds; ++round) {
        if (!output.isEmpty()) {
            QFile::remove(output);
            ::sync();
        }
        QElapsedTimer timer;
        timer.start();
        if (!step())
            return -1;
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        fastest = fastest < 0 ? seconds : std::min(fastest, seconds);
    }
    return fastest;
}

bool shell(const QString &script, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start("/bin/sh", {"-c", script});
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The time a line takes on each fast path variant over the coordinate
// lines of the part at `path`, in memory, as the run hands them on; -1
// where the variant leaves a line to the general rules.
std::vector<double> nanosecondsPerLine(const std::string &path, long long lines, int rounds)
{
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::size_t start = text.find("l5\r\n") + 4;
    text.append(morvane::kFastReadAhead, '\0');
    const std::array<double, 3> factors = {1.37, 0.8, 2.5};
    std::vector<char> out(4096 * morvane::kFastLineMax);
    std::array<morvane::FastPathVariant, 3> variants;
    std::vector<double> times;
    for (std::size_t v = 0; v < morvane::availableFastPaths(variants); ++v) {
        const double seconds = best(rounds, [&] {
            const char *in = text.data() + start;
            const char *end = text.data() + text.size() - morvane::kFastReadAhead;
            while (in < end) {
                const auto progress = variants[v].transform(in, end, factors.data(), 2, out.data(), 4096);
                if (progress.lines == 0)
                    return false;
                in += progress.consumed;
            }
            return true;
        });
        times.push_back(seconds < 0 ? -1 : seconds * 1e9 / double(lines));
    }
    return times;
}

// As "plain 63.1  AVX2 50.1 ..." in ns a line, "-" where a variant leaves lines.
std::string variantTimes(const std::vector<double> &times)
{
    std::array<morvane::FastPathVariant, 3> variants;
    morvane::availableFastPaths(variants);
    std::string text;
    char each[48];
    for (std::size_t v = 0; v < times.size(); ++v)
        text += times[v] < 0 ? (std::snprintf(each, sizeof each, "  %s -", variants[v].name), each)
                             : (std::snprintf(each, sizeof each, "  %s %.1f", variants[v].name, times[v]), each);
    return text;
}

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Times a resize against cat and a durable copy of the same part file.");
    parser.addHelpOption();
    const QCommandLineOption linesOption("lines", "Coordinate lines in the part file.", "count", "8000000");
    const QCommandLineOption dirOption("dir", "Folder for the temporary files.", "path", QDir::tempPath());
    const QCommandLineOption roundsOption("rounds", "Timed rounds; the best of each is kept.", "count", "5");
    const QCommandLineOption formLinesOption("form-lines", "Coordinate lines in the part of each other line form.",
                                             "count", "500000");
    parser.addOptions({linesOption, dirOption, roundsOption, formLinesOption});
    parser.process(app);
    const long long lines = parser.value(linesOption).toLongLong();
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    QTemporaryDir dir(QDir(parser.value(dirOption)).filePath("morvane-bench-XXXXXX"));
    if (!dir.isValid() || lines < 1) {
        std::fprintf(stderr, "bench_resize: cannot use %s\n", qPrintable(parser.value(dirOption)));
        return 2;
    }

    const std::string path = QFile::encodeName(dir.filePath("bench.afp")).toStdString();
    if (!writePart(path, lines)) {
        std::fprintf(stderr, "bench_resize: cannot write the part\n");
        return 2;
    }
    const double megabytes = double(QFileInfo(dir.filePath("bench.afp")).size()) / 1e6;
    std::printf("part: %.1f MB, %lld lines, in %s; best of %d rounds\n", megabytes, lines + 5, qPrintable(dir.path()),
                rounds);

    const morvane::ResizeSettings settings{"1.37", "0.8", "2.5", morvane::PrecisionMode::AF99};
    const auto resize = [&](morvane::RunOptions options, const QString &part = "bench.afp") {
        return [&, options, part] {
            return std::holds_alternative<morvane::Created>(morvane::runResize({dir.path(), part}, settings, options));
        };
    };
    // The size scan of the window, with the picture it gathers as it reads.
    const auto scan = [&](const QString &part = "bench.afp") {
        return [&, part] {
            morvane::PartPicture picture;
            return std::holds_alternative<morvane::Scanned>(
                morvane::scanPart(morvane::ShownPart{dir.path(), part}, {{}, &picture}));
        };
    };
    morvane::RunOptions secondCore;
    secondCore.secondCore = true;
    const QString copy = dir.filePath("copy.afp");
    const QString result = dir.filePath("bench_new1.afp");
    const double cat = best(
        rounds, [&] { return shell("cat bench.afp > copy.afp", dir.path()); }, copy);
    const double durable = best(
        rounds, [&] { return shell("cat bench.afp > copy.afp && sync -d copy.afp", dir.path()); }, copy);
    const double oneCore = best(rounds, resize({}), result);
    const double twoCores = best(rounds, resize(secondCore), result);
    const double scanned = best(rounds, scan());
    const double peak = peakResidentMegabytes();
    if (cat < 0 || durable < 0 || oneCore < 0 || twoCores < 0 || scanned < 0) {
        std::fprintf(stderr, "bench_resize: a timed run failed\n");
        return 1;
    }
    std::printf("%-35s %7.3f s  %7.1f MB/s\n", "cat", cat, megabytes / cat);
    std::printf("%-35s %7.3f s  %7.1f MB/s\n", "durable copy (cat, sync)", durable, megabytes / durable);
    for (const auto &[name, seconds] : {std::pair{"resize, one core (the window)", oneCore},
                                        std::pair{"resize, two cores (morvane-resize)", twoCores},
                                        std::pair{"size and picture scan, one core", scanned}})
        std::printf("%-35s %7.3f s  %7.1f MB/s  %.3f x cat  %.3f x durable copy\n", name, seconds, megabytes / seconds,
                    cat / seconds, durable / seconds);
    std::printf("peak resident memory of the runs: %.1f MB\n", peak);

    // Each path over the coordinate lines in memory, as the run hands them on.
    std::printf("fast path, ns a line:%s\n", variantTimes(nanosecondsPerLine(path, lines, rounds)).c_str());
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::size_t start = text.find("l5\r\n") + 4;
    const long long sample = std::min(lines, 200000LL);
    const morvane::AxisFactors general = morvane::readFactors(settings);
    const double seconds = best(rounds, [&] {
        std::size_t at = start;
        for (long long i = 0; i < sample; ++i) {
            const std::size_t end = text.find('\r', at);
            if (!morvane::transformCoordinateLine({text.data() + at, end - at}, general, settings.precision))
                return false;
            at = end + 2;
        }
        return true;
    });
    std::printf("general rules      %6.1f ns a line\n", seconds * 1e9 / double(sample));

    // The second core must cost nothing where the fast path leaves lines to
    // the general rules.
    const long long formLines = std::max(1LL, parser.value(formLinesOption).toLongLong());
    std::printf("\n%lld lines of each form: resize on one core, on two, size scan; each resize's time a line x that "
                "of three decimals; x cat and x durable copy of one core; fast path variants, ns a line\n",
                formLines);
    std::vector<const LineForm *> order = {&kThreeDecimals};
    for (const LineForm &form : kForms)
        if (&form != &kThreeDecimals)
            order.push_back(&form);
    // Every form's part is timed once in each round, in turn, so that the
    // best times come from the same stretch of a busy machine, as a ratio
    // between them needs.
    struct FormTimes {
        const LineForm *form;
        QString part;
        double one = -1, two = -1, size = -1, cat = -1, durable = -1;
    };
    std::vector<FormTimes> forms;
    for (const LineForm *each : order) {
        forms.push_back({each, QStringLiteral("form%1.afp").arg(forms.size())});
        if (!writePart(QFile::encodeName(dir.filePath(forms.back().part)).toStdString(), formLines, *each))
            return 2;
    }
    const auto keep = [](double &fastest, double seconds) {
        fastest = fastest < 0 ? seconds : std::min(fastest, seconds);
        return seconds >= 0;
    };
    for (int round = 0; round < rounds; ++round)
        for (FormTimes &times : forms) {
            const QString formResult = dir.filePath(QFileInfo(times.part).completeBaseName() + "_new1.afp");
            const QString catScript = "cat " + times.part + " > copy.afp";
            const auto run = [&](const QString &script) { return [&, script] { return shell(script, dir.path()); }; };
            if (!keep(times.one, best(1, resize({}, times.part), formResult))
                || !keep(times.two, best(1, resize(secondCore, times.part), formResult))
                || !keep(times.size, best(1, scan(times.part))) || !keep(times.cat, best(1, run(catScript), copy))
                || !keep(times.durable, best(1, run(catScript + " && sync -d copy.afp"), copy)))
                return 1;
        }
    for (const FormTimes &times : forms)
        std::printf("%-28s %6.3f s %6.3f s %6.3f s  %.2f %.2f  %.3f %.3f %s\n", times.form->name, times.one, times.two,
                    times.size, times.one / forms[0].one, times.two / forms[0].two, times.cat / times.one,
                    times.durable / times.one,
                    variantTimes(nanosecondsPerLine(QFile::encodeName(dir.filePath(times.part)).toStdString(),
                                                    formLines, rounds))
                        .c_str());
    return 0;
}
