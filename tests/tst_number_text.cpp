#include "number_text.h"

#include <QTest>

#include <cfloat>
#include <cmath>
#include <random>

using namespace morvane;

Q_DECLARE_METATYPE(morvane::ErrorKind)

// QCOMPARE forgives doubles a few ulps; rounding must be exact to the bit.
#define COMPARE_EXACT(actual, expected)                                                                 \
    do {                                                                                                \
        const double a_ = (actual), e_ = (expected);                                                    \
        QVERIFY2(a_ == e_ && std::signbit(a_) == std::signbit(e_),                                      \
                 qPrintable(QString("%1 is not %2").arg(a_, 0, 'g', 17).arg(e_, 0, 'g', 17)));          \
    } while (false)

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void parseAccepts_data();
    void parseAccepts();
    void parseRejects_data();
    void parseRejects();
    void parseKeepsTheSignOfZero();
    void roundHalfEven_data();
    void roundHalfEven();
    void roundHalfEvenMatchesNearbyint();
    void formatNumber_data();
    void formatNumber();
    void formattedRoundedValuesReadBack();
};

void TestNumberText::parseAccepts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("integer") << QByteArray("1") << 1.0;
    QTest::newRow("decimal") << QByteArray("2.50") << 2.5;
    QTest::newRow("negative") << QByteArray("-0.5") << -0.5;
    QTest::newRow("plus sign") << QByteArray("+3") << 3.0;
    QTest::newRow("blanks around") << QByteArray("  1.25\t ") << 1.25;
    QTest::newRow("exponent") << QByteArray("1.5E2") << 150.0;
    QTest::newRow("small exponent") << QByteArray("1.5e-2") << 0.015;
    QTest::newRow("signed exponent") << QByteArray("2e+3") << 2000.0;
    QTest::newRow("no integer digits") << QByteArray(".5") << 0.5;
    QTest::newRow("no fraction digits") << QByteArray("5.") << 5.0;
    QTest::newRow("largest double") << QByteArray("1.7976931348623157e308") << DBL_MAX;
    QTest::newRow("1e308") << QByteArray("1e308") << 1e308;
    QTest::newRow("subnormal") << QByteArray("1e-320") << 1e-320;
    QTest::newRow("underflow reads as zero") << QByteArray("1e-400") << 0.0;
    QTest::newRow("long digits underflow") << QByteArray("0." + QByteArray(400, '0') + "1") << 0.0;
    QTest::newRow("huge negative exponent") << QByteArray("5e-99999999999999999999") << 0.0;
    QTest::newRow("many digits") << QByteArray(QByteArray(300, '0') + "42") << 42.0;
}

void TestNumberText::parseAccepts()
{
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    const auto value = parseNumber(text.toStdString());
    QVERIFY2(value.has_value(), value ? "" : value.error().what.c_str());
    COMPARE_EXACT(*value, expected);
}

void TestNumberText::parseRejects_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ErrorKind>("kind");
    const auto mismatch = ErrorKind::TypeMismatch;
    QTest::newRow("empty") << QByteArray("") << mismatch;
    QTest::newRow("blanks only") << QByteArray("   ") << mismatch;
    QTest::newRow("letters") << QByteArray("abc") << mismatch;
    QTest::newRow("decimal comma") << QByteArray("1,5") << mismatch;
    QTest::newRow("two points") << QByteArray("1.2.3") << mismatch;
    QTest::newRow("quoted") << QByteArray("\"1\"") << mismatch;
    QTest::newRow("quote inside") << QByteArray("1\"") << mismatch;
    QTest::newRow("inf") << QByteArray("inf") << mismatch;
    QTest::newRow("infinity") << QByteArray("-Infinity") << mismatch;
    QTest::newRow("nan") << QByteArray("nan") << mismatch;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << mismatch;
    QTest::newRow("exponent without digits") << QByteArray("1e") << mismatch;
    QTest::newRow("exponent sign only") << QByteArray("1e+") << mismatch;
    QTest::newRow("sign only") << QByteArray("-") << mismatch;
    QTest::newRow("point only") << QByteArray(".") << mismatch;
    QTest::newRow("blank inside") << QByteArray("1 2") << mismatch;
    QTest::newRow("blank after sign") << QByteArray("- 5") << mismatch;
    QTest::newRow("two signs") << QByteArray("+-5") << mismatch;
    QTest::newRow("D exponent") << QByteArray("1D5") << mismatch;
    QTest::newRow("carriage return") << QByteArray("1\r") << mismatch;
    QTest::newRow("NUL byte") << QByteArray("1\0" "2", 3) << mismatch;
    QTest::newRow("too large") << QByteArray("1e309") << ErrorKind::Overflow;
    QTest::newRow("too large negative") << QByteArray("-1e400") << ErrorKind::Overflow;
    QTest::newRow("too many digits") << QByteArray("1" + QByteArray(400, '0')) << ErrorKind::Overflow;
}

void TestNumberText::parseRejects()
{
    QFETCH(QByteArray, text);
    QFETCH(ErrorKind, kind);
    const auto value = parseNumber(text.toStdString());
    QVERIFY(!value.has_value());
    QCOMPARE(value.error().kind, kind);
    QVERIFY(!value.error().what.empty());
}

void TestNumberText::parseKeepsTheSignOfZero()
{
    QVERIFY(std::signbit(*parseNumber("-0")));
    QVERIFY(!std::signbit(*parseNumber("0")));
}

void TestNumberText::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.125 down to even") << 0.125 << 2 << 0.12;
    QTest::newRow("0.375 up to even") << 0.375 << 2 << 0.38;
    QTest::newRow("0.25 at one decimal") << 0.25 << 1 << 0.2;
    QTest::newRow("0.75 at one decimal") << 0.75 << 1 << 0.8;
    QTest::newRow("negative half") << -0.125 << 2 << -0.12;
    QTest::newRow("not a half") << 2.468 << 2 << 2.47;
    QTest::newRow("1.65 at one decimal") << 1.65 << 1 << 1.6;
    QTest::newRow("whole half") << 2.5 << 0 << 2.0;
    QTest::newRow("large finite stays") << 1e307 << 2 << 1e307;
    QTest::newRow("largest stays") << DBL_MAX << 2 << DBL_MAX;
    QTest::newRow("lowest stays") << -DBL_MAX << 1 << -DBL_MAX;
    QTest::newRow("beyond fraction bits") << 4503599627370497.0 << 2 << 4503599627370497.0;
    QTest::newRow("tiny to zero") << 1e-320 << 2 << 0.0;
}

void TestNumberText::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(double, expected);
    COMPARE_EXACT(morvane::roundHalfEven(value, decimals), expected);
}

void TestNumberText::roundHalfEvenMatchesNearbyint()
{
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> magnitude(-12, 13);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
        const int decimals = 1 + i % 2;
        const double scale = decimals == 1 ? 10.0 : 100.0;
        const double expected = std::nearbyint(value * scale) / scale;
        COMPARE_EXACT(morvane::roundHalfEven(value, decimals), expected);
    }
}

void TestNumberText::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("one") << 1.0 << QByteArray("1");
    QTest::newRow("trailing zero") << 2.50 << QByteArray("2.5");
    QTest::newRow("leading zero") << 0.05 << QByteArray("0.05");
    QTest::newRow("negative") << -0.5 << QByteArray("-0.5");
    QTest::newRow("tens") << 120.0 << QByteArray("120");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("negative zero") << -0.0 << QByteArray("0");
    QTest::newRow("binary noise") << 0.1 + 0.2 << QByteArray("0.3");
    QTest::newRow("15 significant digits") << 123456789.123456789 << QByteArray("123456789.123457");
    QTest::newRow("small") << 0.00001 << QByteArray("0.00001");
    QTest::newRow("largest plain") << 999999999999999.0 << QByteArray("999999999999999");
    QTest::newRow("rounds up to 1E+15") << 999999999999999.9 << QByteArray("1E+15");
    QTest::newRow("1E+15") << 1e15 << QByteArray("1E+15");
    QTest::newRow("negative 1E+15") << -1e15 << QByteArray("-1E+15");
    QTest::newRow("digits above 1E+15") << 1234567890123456.0 << QByteArray("1.23456789012346E+15");
    QTest::newRow("1E+307") << 1e307 << QByteArray("1E+307");
    QTest::newRow("largest") << DBL_MAX << QByteArray("1.79769313486232E+308");
}

void TestNumberText::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(morvane::formatNumber(value)), expected);
}

void TestNumberText::formattedRoundedValuesReadBack()
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> magnitude(-3, 12);
    for (int i = 0; i < 100000; ++i) {
        const double value = morvane::roundHalfEven(std::pow(10.0, magnitude(random)) * (i % 3 ? 1 : -1), 2);
        const std::string text = morvane::formatNumber(value);
        QVERIFY2(text.find_first_of("eE") == std::string::npos, text.c_str());
        // Zero has one text, so -0 reads back as 0.
        COMPARE_EXACT(*parseNumber(text), value == 0 ? 0.0 : value);
    }
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
