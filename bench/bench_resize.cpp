// Times a resize run against a plain copy of the same part file, both through
// the same file classes and block size, and reports the peak memory.

#include "core/resize_run.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr qint64 kBlockSize = 256 * 1024;

// Short decimals of the kind part files hold, from a cheap generator so that
// making the file does not dominate.
std::string coordinateLine(std::uint64_t &state)
{
    std::string line = "\"\"";
    for (int axis = 0; axis < 3; ++axis) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const std::uint64_t r = state >> 24;
        line += ',';
        if (r & 1)
            line += '-';
        line += std::to_string((r >> 1) % 1000);
        const int decimals = static_cast<int>((r >> 12) % 4);
        if (decimals > 0) {
            line += '.';
            std::uint64_t fraction = (r >> 14);
            for (int i = 0; i < decimals; ++i, fraction /= 10)
                line += static_cast<char>('0' + fraction % 10);
        }
    }
    line += "\r\n";
    return line;
}

bool writePartFile(const QString &path, qint64 lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::string block = "\"\",\"bench\",\"metal\"\r\nkept 2\r\nkept 3\r\nkept 4\r\nkept 5\r\n";
    std::uint64_t state = 2001;
    for (qint64 i = 0; i < lines; ++i) {
        block += coordinateLine(state);
        if (static_cast<qint64>(block.size()) >= kBlockSize) {
            if (file.write(block.data(), static_cast<qint64>(block.size())) < 0)
                return false;
            block.clear();
        }
    }
    return file.write(block.data(), static_cast<qint64>(block.size())) >= 0 && file.flush();
}

bool copyFile(const QString &from, const QString &to)
{
    QFile source(from);
    QSaveFile target(to);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)
        || !target.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    std::vector<char> block(kBlockSize);
    qint64 got = 0;
    while ((got = source.read(block.data(), kBlockSize)) > 0)
        if (target.write(block.data(), got) != got)
            return false;
    return got == 0 && target.commit();
}

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Times a resize run against a plain copy of the same part file.");
    parser.addHelpOption();
    const QCommandLineOption linesOption("lines", "Coordinate lines in the part file.", "count", "20000000");
    const QCommandLineOption dirOption("dir", "Folder for the temporary files.", "path", QDir::tempPath());
    const QCommandLineOption roundsOption("rounds", "Timed rounds; the best of each is kept.", "count", "3");
    parser.addOptions({linesOption, dirOption, roundsOption});
    parser.process(app);

    const qint64 lines = parser.value(linesOption).toLongLong();
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    QTemporaryDir dir(QDir(parser.value(dirOption)).filePath("morvane-bench-XXXXXX"));
    if (!dir.isValid() || lines < 0) {
        std::fprintf(stderr, "bench_resize: cannot use %s\n", qPrintable(parser.value(dirOption)));
        return 2;
    }
    const QString source = dir.filePath("bench.afp");
    if (!writePartFile(source, lines)) {
        std::fprintf(stderr, "bench_resize: cannot write %s\n", qPrintable(source));
        return 2;
    }
    const double megabytes = static_cast<double>(QFileInfo(source).size()) / 1e6;
    const double peakBefore = peakResidentMegabytes();
    std::printf("part file: %.1f MB, %lld lines, in %s\n", megabytes, static_cast<long long>(lines) + 5,
                qPrintable(dir.path()));

    const morvane::ResizeSettings settings{"1.5", "0.75", "2", morvane::PrecisionMode::AF99};
    qint64 bestCopy = -1;
    qint64 bestResize = -1;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        if (!copyFile(source, dir.filePath("copy.afp"))) {
            std::fprintf(stderr, "bench_resize: the copy failed\n");
            return 1;
        }
        const qint64 copy = timer.nsecsElapsed();
        timer.start();
        const auto outcome = morvane::runResize(dir.path(), "bench.afp", settings);
        const qint64 resize = timer.nsecsElapsed();
        if (!std::holds_alternative<morvane::Created>(outcome)) {
            std::fprintf(stderr, "bench_resize: %s\n", qPrintable(morvane::outcomeMessage(outcome)));
            return 1;
        }
        bestCopy = bestCopy < 0 ? copy : std::min(bestCopy, copy);
        bestResize = bestResize < 0 ? resize : std::min(bestResize, resize);
    }

    const double copyRate = megabytes / (static_cast<double>(bestCopy) / 1e9);
    const double resizeRate = megabytes / (static_cast<double>(bestResize) / 1e9);
    std::printf("copy:   %8.1f MB/s\n", copyRate);
    std::printf("resize: %8.1f MB/s\n", resizeRate);
    std::printf("ratio:  %8.3f of the copy's throughput (goal: 0.1 or better)\n", resizeRate / copyRate);
    std::printf("peak resident memory: %.1f MB (%.1f MB before the timed runs)\n", peakResidentMegabytes(), peakBefore);
    return 0;
}
