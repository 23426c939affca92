#include "core/rules/number_text.h"
#include "tests/part_folder.h"

#include <QTest>

#include <cfloat>
#include <random>

using namespace morvane;

// QCOMPARE forgives doubles a few ulps; these must be exact to the bit.
#define COMPARE_EXACT(actual, expected)                                                                                \
    do {                                                                                                               \
        const double a_ = (actual), e_ = (expected);                                                                   \
        QVERIFY2(a_ == e_ && std::signbit(a_) == std::signbit(e_),                                                     \
                 qPrintable(QString("%1 is not %2").arg(a_, 0, 'g', 17).arg(e_, 0, 'g', 17)));                         \
    } while (false)

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value"); // NaN: not a number (type mismatch); infinity: overflow
        const double mismatch = NAN;
        const double overflow = INFINITY;
        for (const auto &[text, value] :
             std::initializer_list<std::pair<QByteArray, double>>{{"1", 1},
                                                                  {"-0.5", -0.5},
                                                                  {"+3", 3},
                                                                  {"  1.25\t ", 1.25},
                                                                  {"1.5E2", 150},
                                                                  {"2e+3", 2000},
                                                                  {"1.5e-2", 0.015},
                                                                  {".5", 0.5},
                                                                  {"5.", 5},
                                                                  {"1.7976931348623157e308", DBL_MAX},
                                                                  {"1e-320", 1e-320},
                                                                  {"1e-400", 0},
                                                                  {"0." + QByteArray(400, '0') + "1", 0},
                                                                  {"5e-99999999999999999999", 0},
                                                                  {QByteArray(300, '0') + "42", 42},
                                                                  {"", mismatch},
                                                                  {"   ", mismatch},
                                                                  {"abc", mismatch},
                                                                  {"1,5", mismatch},
                                                                  {"1.2.3", mismatch},
                                                                  {"\"1\"", mismatch},
                                                                  {"inf", mismatch},
                                                                  {"nan", mismatch},
                                                                  {"0x10", mismatch},
                                                                  {"1e", mismatch},
                                                                  {"1e+", mismatch},
                                                                  {"-", mismatch},
                                                                  {".", mismatch},
                                                                  {"1 2", mismatch},
                                                                  {"- 5", mismatch},
                                                                  {"+-5", mismatch},
                                                                  {"1D5", mismatch},
                                                                  {"1\r", mismatch},
                                                                  {bytes("1\0002"), mismatch},
                                                                  {"1e309", overflow},
                                                                  {"-1e400", overflow},
                                                                  {"1" + QByteArray(400, '0'), overflow}})
            QTest::newRow(text.left(30).toPercentEncoding(" +-.,\"").constData()) << text << value;
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        const auto parsed = parseNumber(text.toStdString());
        if (std::isfinite(value)) {
            QVERIFY2(parsed.has_value(), parsed ? "" : parsed.error().what.c_str());
            COMPARE_EXACT(*parsed, value);
        } else {
            QVERIFY(!parsed.has_value());
            QCOMPARE(parsed.error().kind, std::isnan(value) ? ErrorKind::TypeMismatch : ErrorKind::Overflow);
        }
    }

    void round_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("expected");
        QTest::newRow("0.125 to even") << 0.125 << 2 << 0.12;
        QTest::newRow("0.375 to even") << 0.375 << 2 << 0.38;
        QTest::newRow("0.25 at one decimal") << 0.25 << 1 << 0.2;
        QTest::newRow("0.75 at one decimal") << 0.75 << 1 << 0.8;
        QTest::newRow("negative half") << -0.125 << 2 << -0.12;
        QTest::newRow("1.65 at one decimal") << 1.65 << 1 << 1.6;
        QTest::newRow("large stays") << 1e307 << 2 << 1e307;
        QTest::newRow("largest stays") << -DBL_MAX << 1 << -DBL_MAX;
        QTest::newRow("no fraction bits left") << 4503599627370497.0 << 2 << 4503599627370497.0;
    }

    void round()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(double, expected);
        COMPARE_EXACT(roundHalfEven(value, decimals), expected);
    }

    void format_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        for (const auto &[value, text] :
             std::initializer_list<std::pair<double, QByteArray>>{{1, "1"},
                                                                  {2.50, "2.5"},
                                                                  {0.05, "0.05"},
                                                                  {-0.5, "-0.5"},
                                                                  {120, "120"},
                                                                  {-0.0, "0"},
                                                                  {0.1 + 0.2, "0.3"},
                                                                  {123456789.123456789, "123456789.123457"},
                                                                  {0.00001, "0.00001"},
                                                                  {999999999999999.0, "999999999999999"},
                                                                  {999999999999999.9, "1E+15"},
                                                                  {-1e15, "-1E+15"},
                                                                  {1234567890123456.0, "1.23456789012346E+15"},
                                                                  {DBL_MAX, "1.79769313486232E+308"}})
            QTest::newRow(text.constData()) << value << text;
    }

    void format()
    {
        QFETCH(double, value);
        QTEST(QByteArray::fromStdString(formatNumber(value)), "text");
    }

    // Against nearbyint, and formatted values read back as they were.
    void roundingAndFormattingHoldForAnyValue()
    {
        std::mt19937_64 random(20261206);
        std::uniform_real_distribution<double> magnitude(-12, 13);
        for (int i = 0; i < 200000; ++i) {
            const double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
            const int decimals = 1 + i % 2;
            const double scale = decimals == 1 ? 10.0 : 100.0;
            const double rounded = roundHalfEven(value, decimals);
            COMPARE_EXACT(rounded, std::nearbyint(value * scale) / scale);
            COMPARE_EXACT(*parseNumber(formatNumber(rounded)), rounded == 0 ? 0.0 : rounded);
        }
    }
};

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
