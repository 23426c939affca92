// A part's size: what a scan finds, held to values read apart from the
// program's number paths, and the size after a resize held to a scan of
// the file the resize writes.

#include "core/part_picture.h"
#include "core/part_scan.h"
#include "core/rules/part_size.h"
#include "tests/decimal_oracle.h"
#include "tests/part_folder.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

using namespace morvane;

Q_DECLARE_METATYPE(PrecisionMode)

namespace {

const QByteArray kHead = "\"\",\"wing\",\"metal\"\r\nl2\r\nl3\r\nl4\r\nl5\r\n";

// A number in one of the forms parts hold, the fast path's and others.
std::string randomNumber(QRandomGenerator &random, double spread)
{
    const double value = (random.generateDouble() * 2 - 1) * spread;
    const char *formats[] = {"%.3f", "%.8f", "%.6e", " %+.15g\t", "%.1f"};
    char text[64];
    std::snprintf(text, sizeof text, formats[random.bounded(5)], value);
    return text;
}

// Each axis's smallest and largest value, read by the C library.
std::array<AxisRange, 3> oracleRanges(const std::vector<std::array<std::string, 3>> &lines)
{
    std::array<AxisRange, 3> ranges;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        ranges[axis] = {INFINITY, -INFINITY};
        for (const auto &line : lines) {
            const double value = *oracle::read(line[axis]);
            ranges[axis] = {std::min(ranges[axis].min, value), std::max(ranges[axis].max, value)};
        }
    }
    return ranges;
}

PartSize scanned(const PartFolder &folder, const char *name)
{
    const ScanOutcome outcome = scanPart(nativeName(folder.path()), name);
    if (const auto *failed = std::get_if<Failed>(&outcome))
        qFatal("%s: %s", name, qPrintable(failureReason(failed->error)));
    return std::get<Scanned>(outcome).size;
}

} // namespace

class TestPartSize : public QObject {
    Q_OBJECT

private slots:
    // Random parts of every number form: the scan's ends are the values the
    // C library reads, and the ends after a resize are what a scan of the
    // written file finds, to the last bit.
    void sizes_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<double>("spread");
        QTest::addColumn<PrecisionMode>("precision");
        QTest::addColumn<bool>("mirror");
        QTest::newRow("small AF99") << 1u << 50.0 << PrecisionMode::AF99 << false;
        QTest::newRow("small AF5, mirrored") << 2u << 50.0 << PrecisionMode::AF5 << true;
        QTest::newRow("tiny AF99, mirrored") << 3u << 0.02 << PrecisionMode::AF99 << true;
        QTest::newRow("huge AF5") << 4u << 1e17 << PrecisionMode::AF5 << false;
        QTest::newRow("large AF99, mirrored") << 5u << 3e6 << PrecisionMode::AF99 << true;
    }
    void sizes()
    {
        QFETCH(quint32, seed);
        QFETCH(double, spread);
        QFETCH(PrecisionMode, precision);
        QFETCH(bool, mirror);
        QRandomGenerator random(seed);
        for (int round = 0; round < 20; ++round) {
            std::vector<std::array<std::string, 3>> lines(1 + random.bounded(3000));
            QByteArray part = kHead;
            for (auto &line : lines) {
                line = {randomNumber(random, spread), randomNumber(random, spread), randomNumber(random, spread)};
                part += QByteArray::fromStdString("\"\"," + line[0] + ',' + line[1] + ',' + line[2] + "\r\n");
            }
            PartFolder folder;
            folder.write("wing.afp", part);
            const PartSize size = scanned(folder, "wing.afp");
            QCOMPARE(size.lines, lines.size());
            const auto expected = oracleRanges(lines);
            ResizeSettings settings{{}, {}, {}, precision};
            for (std::size_t axis = 0; axis < 3; ++axis) {
                QCOMPARE(size.axes[axis].min, expected[axis].min);
                QCOMPARE(size.axes[axis].max, expected[axis].max);
                std::string &factor = axis == 0 ? settings.right : axis == 1 ? settings.fore : settings.up;
                factor = std::to_string((mirror && axis != 1 ? -1 : 1) * random.generateDouble() * 3);
            }
            QVERIFY(std::holds_alternative<Created>(runResize(nativeName(folder.path()), "wing.afp", settings)));
            const PartSize after = scanned(folder, "wing_new1.afp");
            for (std::size_t axis = 0; axis < 3; ++axis) {
                const double factor = *oracle::read(std::array{settings.right, settings.fore, settings.up}[axis]);
                const auto range = rangeAfter(size.axes[axis], factor, axis, precision);
                QVERIFY(range);
                QCOMPARE(range->min, after.axes[axis].min);
                QCOMPARE(range->max, after.axes[axis].max);
            }
        }
    }

    // A fitted factor gives the size wanted within one unit of the last
    // decimal kept.
    void fit_data()
    {
        QTest::addColumn<PrecisionMode>("precision");
        QTest::addColumn<bool>("mirrored");
        QTest::newRow("AF99") << PrecisionMode::AF99 << false;
        QTest::newRow("AF5") << PrecisionMode::AF5 << false;
        QTest::newRow("AF99, mirrored") << PrecisionMode::AF99 << true;
    }
    void fit()
    {
        QFETCH(PrecisionMode, precision);
        QFETCH(bool, mirrored);
        const double unit = precision == PrecisionMode::AF5 ? 0.1 : 0.01;
        QRandomGenerator random(7);
        for (int round = 0; round < 40; ++round) {
            QByteArray part = kHead;
            for (int line = 0; line < 50; ++line)
                part += QByteArray::fromStdString("\"\"," + randomNumber(random, 40) + ",1," + randomNumber(random, 1)
                                                  + "\r\n");
            PartFolder folder;
            folder.write("wing.afp", part);
            const AxisRange range = scanned(folder, "wing.afp").axes[0];
            const double target = random.bounded(1, 100000) * unit / 7;
            const auto factor = fittedFactor(std::to_string(target), range, 0, mirrored);
            QCOMPARE(factor.value().front() == '-', mirrored);
            ResizeSettings settings{*factor, "1", "1", precision};
            QVERIFY(std::holds_alternative<Created>(runResize(nativeName(folder.path()), "wing.afp", settings)));
            const AxisRange after = scanned(folder, "wing_new1.afp").axes[0];
            QVERIFY2(std::fabs(after.max - after.min - *oracle::read(std::to_string(target))) <= unit * (1 + 1e-9),
                     factor->c_str());
        }
        // A flat axis, a size not wanted and its words: the command's and
        // the window's tests; here, a factor or a size past the largest double.
        const auto refusal = [](const auto &fitted) { return fitted ? "fitted " + *fitted : fitted.error().what; };
        QCOMPARE(refusal(fittedFactor("1e300", {0, 1e-300}, 1, false)),
                 "the FORE factor for that size is too large for a number");
        QCOMPARE(refusal(fittedFactor("2", {-1.7e308, 1.7e308}, 2, false)), "the UP size is too large for a number");
    }

    // A part a resize fails on has no size: the scan fails with the same
    // words, on the same line.
    void failsAsTheResize_data()
    {
        QTest::addColumn<QByteArray>("part");
        QTest::newRow("header") << QByteArray("no header\r\nl2\r\nl3\r\nl4\r\nl5\r\n\"\",1,2,3\r\n");
        QTest::newRow("number") << kHead + "\"\",1,2,3\r\n\"\",1,2,3\r\n\"\",1,x2,3\r\n";
        QTest::newRow("fields") << kHead + "\"\",1,2,3\r\n\"\",1,2\r\n";
        QTest::newRow("overflow") << kHead + "\"\",1,2,1e999\r\n";
        QTest::newRow("after many fast lines")
            << kHead + QByteArray("\"\",1.5,-2.25,3\r\n").repeated(5000) + "\"\",1\r\n";
        QTest::newRow("line too long") << kHead + "\"\",1,2," + QByteArray(5 << 20, '1') + "\r\n";
    }
    void failsAsTheResize()
    {
        QFETCH(QByteArray, part);
        PartFolder folder;
        folder.write("wing.afp", part);
        const NativeName path = nativeName(folder.path());
        // std::get throws, and fails the row, where either did not fail.
        QCOMPARE(failureReason(std::get<Failed>(scanPart(path, "wing.afp")).error),
                 failureReason(std::get<Failed>(runResize(path, "wing.afp", {})).error));
    }

    // Every point lands in the cell its value names, however far the cells
    // had to widen to reach it.
    void picture()
    {
        // Past what cells of doubles can reach, a point is left out.
        PartPicture reachless;
        for (const double far : {0.0, -1.7e308, 1.7e308})
            reachless.add(std::array{far, 1.0, 2.0}.data());
        QCOMPARE(reachless.points(), 1u);
        QRandomGenerator random(11);
        for (const double spread : {1e-3, 1.0, 1e6, 1e290}) {
            PartPicture picture;
            std::vector<std::array<double, 3>> points(2000);
            for (std::size_t at = 0; at < points.size(); ++at) {
                // Ever further out, on alternate sides, as a hostile part would.
                const double reach = spread * std::pow(1.01, double(at)) * (at % 2 ? -1 : 1);
                points[at] = {reach * random.generateDouble(), reach, -reach * random.generateDouble()};
                picture.add(points[at].data());
            }
            for (std::size_t view = 0; view < PartPicture::kViews.size(); ++view) {
                const auto shown = PartPicture::kViews[view];
                std::vector<std::uint32_t> counts(PartPicture::kCells * PartPicture::kCells);
                const auto cell = [&](std::size_t axis, double value) {
                    return int(std::floor((value - picture.origin(axis)) / picture.cellWidth(axis)));
                };
                for (const auto &point : points)
                    ++counts[std::size_t(cell(shown.up, point[shown.up]) * PartPicture::kCells
                                         + cell(shown.across, point[shown.across]))];
                for (int up = 0; up < PartPicture::kCells; ++up)
                    for (int across = 0; across < PartPicture::kCells; ++across)
                        QCOMPARE(picture.count(view, across, up),
                                 counts[std::size_t(up * PartPicture::kCells + across)]);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPartSize)
#include "tst_part_size.moc"
