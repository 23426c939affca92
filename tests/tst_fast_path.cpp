#include "fast_coordinate_line.h"
#include "part_lines.h"

#include <QTest>

#include <random>

using namespace morvane;

// The fast path must agree byte for byte with the general rules wherever it
// answers, and must answer for the lines part files are made of.
class TestFastPath : public QObject {
    Q_OBJECT

private slots:
    void answersLikeTheGeneralRules_data();
    void answersLikeTheGeneralRules();
    void leavesTheRestToTheGeneralRules_data();
    void leavesTheRestToTheGeneralRules();
    void randomLinesAgree();
};

namespace {

std::optional<std::string> fastLine(const std::string &line, const std::array<double, 3> &factors, int decimals)
{
    char out[kFastLineMax];
    const auto length = fastTransformCoordinateLine(line, factors, decimals, out);
    if (!length)
        return std::nullopt;
    return std::string(out, *length);
}

std::optional<std::string> generalLine(const std::string &line, const std::array<double, 3> &factors,
                                       PrecisionMode precision)
{
    AxisFactors axes;
    for (std::size_t i = 0; i < 3; ++i)
        axes.factor[i] = factors[i];
    const auto out = transformCoordinateLine(line, axes, precision);
    if (!out)
        return std::nullopt;
    return *out + "\r\n";
}

PrecisionMode precisionOf(int decimals)
{
    return decimals == 1 ? PrecisionMode::AF5 : PrecisionMode::AF99;
}

} // namespace

void TestFastPath::answersLikeTheGeneralRules_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("decimals");
    QTest::newRow("worked example") << QByteArray(R"("",1.234,-2.5,3.3)") << 2.0 << 2;
    QTest::newRow("halves") << QByteArray(R"("",0.125,0.375,0.625)") << 1.0 << 2;
    QTest::newRow("halves at one decimal") << QByteArray(R"("",0.25,0.75,1.65)") << 1.0 << 1;
    QTest::newRow("minus zero") << QByteArray(R"("",-0.001,-0,-0.0)") << 1.0 << 2;
    QTest::newRow("signs and blanks") << QByteArray("\"\", +1.5 ,\t-2, 3 ") << 3.0 << 2;
    QTest::newRow("bare points") << QByteArray(R"("",.5,5.,-.25)") << 1.0 << 2;
    QTest::newRow("fifteen digits") << QByteArray(R"("",123456789012.345,0.00000000000001,1)") << 1.0 << 2;
    QTest::newRow("just below the plain limit") << QByteArray(R"("",9999999999999.99,1,1)") << 1.0 << 2;
    QTest::newRow("awkward factor") << QByteArray(R"("",1.1,2.2,3.3)") << 0.1 << 2;
}

void TestFastPath::answersLikeTheGeneralRules()
{
    QFETCH(QByteArray, line);
    QFETCH(double, factor);
    QFETCH(int, decimals);
    const std::array<double, 3> factors = {factor, factor, factor};
    const auto fast = fastLine(line.toStdString(), factors, decimals);
    QVERIFY(fast.has_value());
    QCOMPARE(QByteArray::fromStdString(*fast),
             QByteArray::fromStdString(generalLine(line.toStdString(), factors, precisionOf(decimals)).value()));
}

void TestFastPath::leavesTheRestToTheGeneralRules_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("factor");
    QTest::newRow("exponent") << QByteArray(R"("",1e3,1,1)") << 1.0;
    QTest::newRow("sixteen digits") << QByteArray(R"("",1234567890123456,1,1)") << 1.0;
    QTest::newRow("result beyond plain digits") << QByteArray(R"("",99999999999999,1,1)") << 1.0;
    QTest::newRow("product overflows") << QByteArray(R"("",10,1,1)") << 1e308;
    QTest::newRow("four fields") << QByteArray(R"("",1,2,3,4)") << 1.0;
    QTest::newRow("two fields") << QByteArray(R"("",1,2)") << 1.0;
    QTest::newRow("no prefix") << QByteArray("1,2,3") << 1.0;
    QTest::newRow("empty field") << QByteArray(R"("",1,,3)") << 1.0;
    QTest::newRow("letters") << QByteArray(R"("",1,2,x)") << 1.0;
    QTest::newRow("trailing CR") << QByteArray("\"\",1,2,3\r") << 1.0;
    QTest::newRow("blank inside") << QByteArray(R"("",1 2,2,3)") << 1.0;
    QTest::newRow("sign only") << QByteArray(R"("",-,2,3)") << 1.0;
}

void TestFastPath::leavesTheRestToTheGeneralRules()
{
    QFETCH(QByteArray, line);
    QFETCH(double, factor);
    QVERIFY(!fastLine(line.toStdString(), {factor, factor, factor}, 2).has_value());
}

void TestFastPath::randomLinesAgree()
{
    std::mt19937_64 random(1999);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char *const alphabet = "0123456789.-+e ,\t";
    const std::array<double, 8> someFactors = {1.0, 2.0, 0.5, 0.1, 1.23456789, -3.0, 1e-3, 123456.789};

    int fastAnswered = 0;
    const int lines = 300000;
    for (int i = 0; i < lines; ++i) {
        std::string line = "\"\"";
        for (int axis = 0; axis < 3; ++axis) {
            line += ',';
            if (pick(20) == 0) {
                for (int n = pick(6); n > 0; --n)
                    line += alphabet[pick(17)];
                continue;
            }
            if (pick(4) == 0)
                line += pick(2) ? '-' : '+';
            for (int n = pick(7); n > 0; --n)
                line += static_cast<char>('0' + pick(10));
            if (pick(3)) {
                line += '.';
                for (int n = pick(9); n > 0; --n)
                    line += static_cast<char>('0' + pick(10));
            }
        }
        const std::array<double, 3> factors = {someFactors[pick(8)], someFactors[pick(8)], someFactors[pick(8)]};
        const int decimals = 1 + pick(2);
        const auto fast = fastLine(line, factors, decimals);
        if (!fast)
            continue;
        ++fastAnswered;
        const auto general = generalLine(line, factors, precisionOf(decimals));
        QVERIFY2(general.has_value(), line.c_str());
        QCOMPARE(QByteArray::fromStdString(*fast), QByteArray::fromStdString(*general));
    }
    // Most generated lines are well formed; the fast path must take them.
    QVERIFY2(fastAnswered > lines / 2, qPrintable(QString::number(fastAnswered)));
}

QTEST_APPLESS_MAIN(TestFastPath)
#include "tst_fast_path.moc"
