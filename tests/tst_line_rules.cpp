// The line rules: numbers, the header and coordinate lines. Every number row
// is also checked against an oracle worked out apart from the program, and
// every coordinate row against the fast path.

#include "core/rules/fast_coordinate_line.h"
#include "core/rules/number_text.h"
#include "core/rules/part_lines.h"
#include "tests/decimal_oracle.h"
#include "tests/part_folder.h"

#include <QTest>

#include <cfloat>
#include <random>

using namespace morvane;

Q_DECLARE_METATYPE(morvane::ErrorKind)

namespace {

const ErrorKind kNone = ErrorKind::IoError; // the kind column of a row that succeeds

// QVERIFY and QCOMPARE for a function that returns a value.
#define QVERIFY_RETURN(condition, what)                                                                                \
    do {                                                                                                               \
        if (!QTest::qVerify(static_cast<bool>(condition), #condition, what, __FILE__, __LINE__))                       \
            return false;                                                                                              \
    } while (false)
#define QCOMPARE_RETURN(actual, expected)                                                                              \
    do {                                                                                                               \
        if (!QTest::qCompare(actual, expected, #actual, #expected, __FILE__, __LINE__))                                \
            return false;                                                                                              \
    } while (false)

ResizeSettings settingsFrom(const QByteArray &factors)
{
    const QList<QByteArray> texts = factors.split('|');
    return {texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
            texts.value(3) == "AF5" ? PrecisionMode::AF5 : PrecisionMode::AF99};
}

std::string rewrite(double value, int decimals)
{
    std::string out;
    if (const auto rounded = roundHalfEven(value, decimals))
        appendNumber(out, *rounded);
    else
        appendNumber(out, value);
    return out;
}

// The general rules, the oracle and, where it answers, the fast path give
// the same line; a failure of the general rules is a failure of the oracle.
// True when the fast path answered.
bool checkPaths(const std::string &line, const ResizeSettings &settings)
{
    const AxisFactors factors = readFactors(settings);
    const auto general = transformCoordinateLine(line, factors, settings.precision);
    const std::string texts[3] = {settings.right, settings.fore, settings.up};
    const auto expected = oracle::transformed(line, texts, decimalsFor(settings.precision));
    QVERIFY_RETURN(general.has_value() == expected.has_value(), line.c_str());
    if (expected)
        QCOMPARE_RETURN(QByteArray::fromStdString(*general), QByteArray::fromStdString(*expected));
    if (!factors.factor[0] || !factors.factor[1] || !factors.factor[2])
        return false;
    // Every variant the processor runs answers alike.
    std::array<FastPathVariant, 3> variants;
    const std::size_t count = availableFastPaths(variants);
    std::optional<std::size_t> answered;
    for (std::size_t k = 0; k < count; ++k) {
        char out[kFastLineMax];
        const auto length =
            fastTransformCoordinateLine(line, {*factors.factor[0], *factors.factor[1], *factors.factor[2]},
                                        decimalsFor(settings.precision), out, variants[k].transform);
        QVERIFY_RETURN(k == 0 || length.has_value() == answered.has_value(), variants[k].name);
        answered = length;
        if (!length)
            continue;
        QVERIFY_RETURN(general.has_value(), line.c_str());
        QCOMPARE_RETURN(QByteArray(out, qsizetype(*length)), QByteArray::fromStdString(*general + "\r\n"));
    }
    return answered.has_value();
}

template <typename Result>
void checkOutcome(const std::expected<Result, LineError> &outcome, bool succeeds, ErrorKind kind,
                  const QByteArray &said)
{
    if (succeeds) {
        QVERIFY2(outcome.has_value(), outcome ? "" : outcome.error().what.c_str());
        return;
    }
    QVERIFY(!outcome.has_value());
    QCOMPARE(outcome.error().kind, kind);
    QVERIFY2(outcome.error().what.find(said.toStdString()) != std::string::npos, outcome.error().what.c_str());
}

} // namespace

class TestLineRules : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<double>("value");
        QTest::addColumn<ErrorKind>("kind");
        const QByteArray millionZeros(1'000'000, '0');
        const auto ok = [](const QByteArray &text, double value) {
            QTest::newRow(text.left(30).toPercentEncoding(" +-.,\"").constData()) << text << true << value << kNone;
        };
        const auto fails = [](const QByteArray &text, ErrorKind kind) {
            QTest::newRow(text.left(30).toPercentEncoding(" +-.,\"").constData()) << text << false << 0.0 << kind;
        };
        for (const auto &[text, value] : std::initializer_list<std::pair<QByteArray, double>>{
                 {"1", 1},
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
                 {"5e-99999999999999999999", 0},
                 {QByteArray(300, '0') + "42", 42},
                 {"1" + millionZeros + "e-1000000", 1},
                 {"0." + millionZeros + "1e1000001", 1},
                 {"0." + millionZeros + "1e500000", 0},
                 {"1" + millionZeros + "e-1500000", 0},
                 {"0.1" + millionZeros + "1", 0.1},
                 {"9007199254740993." + QByteArray(800, '0') + "1", 9007199254740994.0}})
            ok(text, value);
        for (const QByteArray &text :
             {QByteArray(""), QByteArray("   "), QByteArray("abc"), QByteArray("1,5"), QByteArray("1.2.3"),
              QByteArray("\"1\""), QByteArray("inf"), QByteArray("nan"), QByteArray("0x10"), QByteArray("1e"),
              QByteArray("1e+"), QByteArray("-"), QByteArray("."), QByteArray("1 2"), QByteArray("- 5"),
              QByteArray("+-5"), QByteArray("1D5"), QByteArray("1\r"), bytes("1\0002")})
            fails(text, ErrorKind::TypeMismatch);
        for (const QByteArray &text :
             {QByteArray("1e309"), QByteArray("-1e400"), QByteArray(".5e309"), "1" + QByteArray(400, '0'),
              "1" + millionZeros + "e-500000", "0." + millionZeros + "1e1000310", QByteArray("1e99999999999999999999")})
            fails(text, ErrorKind::Overflow);
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, succeeds);
        QFETCH(double, value);
        QFETCH(ErrorKind, kind);
        const auto parsed = parseNumber(text.toStdString());
        checkOutcome(parsed, succeeds, kind, succeeds ? "" : " is ");
        // A number is read within its field, whatever follows it in the line.
        const std::string followed = text.toStdString() + "9";
        const auto within = parseNumber(std::string_view(followed).substr(0, std::size_t(text.size())));
        QCOMPARE(within.has_value(), parsed.has_value());
        QVERIFY(within ? *within == *parsed : within.error().kind == parsed.error().kind);
        if (!succeeds)
            return;
        QVERIFY2(*parsed == value && std::signbit(*parsed) == std::signbit(value),
                 qPrintable(QString::number(*parsed, 'g', 17)));
        QCOMPARE(oracle::read(text.toStdString()), std::optional(*parsed));
    }

    // Rounded to the precision, then at most 15 significant digits.
    void write_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("text");
        for (const auto &[value, decimals, text] :
             std::initializer_list<std::tuple<double, int, QByteArray>>{{1, 2, "1"},
                                                                        {2.50, 2, "2.5"},
                                                                        {0.05, 2, "0.05"},
                                                                        {-0.5, 2, "-0.5"},
                                                                        {120, 2, "120"},
                                                                        {0.125, 2, "0.12"},
                                                                        {0.375, 2, "0.38"},
                                                                        {0.25, 1, "0.2"},
                                                                        {0.75, 1, "0.8"},
                                                                        {-0.125, 2, "-0.12"},
                                                                        {1.65, 1, "1.6"},
                                                                        {-0.0, 2, "0"},
                                                                        {-0.001, 2, "0"},
                                                                        {0.1 + 0.2, 2, "0.3"},
                                                                        {123456789.123456789, 2, "123456789.12"},
                                                                        {10000000000000.05078125, 2, "10000000000000"},
                                                                        {50000000000000.0546875, 2, "50000000000000"},
                                                                        {50000000000000.0546875, 1, "50000000000000.1"},
                                                                        {450359962737049.6, 1, "450359962737050"},
                                                                        {200000000000001.5, 2, "200000000000002"},
                                                                        {999999999999999.9, 2, "1E+15"},
                                                                        {-1e15, 2, "-1E+15"},
                                                                        {1234567890123456.0, 1, "1.23456789012346E+15"},
                                                                        {1e307, 2, "1E+307"},
                                                                        {DBL_MAX, 1, "1.79769313486232E+308"}})
            QTest::newRow(qPrintable(QString::number(value, 'g', 17) + "/" + QString::number(decimals)))
                << value << decimals << text;
    }

    void write()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QTEST(QByteArray::fromStdString(rewrite(value, decimals)), "text");
        QTEST(QByteArray::fromStdString(oracle::written(value, decimals)), "text");
    }

    void header_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("fileName");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<ErrorKind>("kind");
        QTest::addColumn<QByteArray>("said");
        const QByteArray x32767(32767, 'x');
        const auto ok = [](const char *tag, const QByteArray &line, const QByteArray &fileName, const QByteArray &out) {
            QTest::newRow(tag) << line << fileName << true << out << kNone << QByteArray();
        };
        const auto fails = [](const char *tag, const QByteArray &line, ErrorKind kind, const QByteArray &said) {
            QTest::newRow(tag) << line << QByteArray("wing.afp") << false << QByteArray() << kind << said;
        };
        ok("worked example", R"("","wing","metal")", "wing.afp", R"("","wing_new1","metal-Resized")");
        ok("empty label", R"("","wing","")", "wing.afp", R"("","wing_new1","")");
        ok("longer part name", R"("","wings","metal")", "wing.afp", R"("","wing_new1","metal-Resized")");
        ok("empty part name", R"("","","x")", "wing.afp", R"("","wing_new1","x-Resized")");
        ok("other case", R"("","wing","metal")", "WING.AFP", R"("","WING_new1","metal-Resized")");
        ok("label counted from the own name", R"("","wing","a","b")", "wing.afp", R"("","wing_new1","a","b-Resized")");
        ok("bytes kept", bytes("\"\",\"w\xE9\",\"m\xE9t\0al\""), "w\xE9.afp",
           bytes("\"\",\"w\xE9_new1\",\"m\xE9t\0al-Resized\""));
        ok("longest label", "\"\",\"wing\",\"" + x32767 + "\"", "wing.afp",
           "\"\",\"wing_new1\",\"" + x32767 + "-Resized\"");
        const QByteArray notAHeader = "the header is not of the form";
        for (const char *bad : {"", "metal", R"("","wing","metal)", R"("","wing")", R"("","wing",")", "\"",
                                R"("",1.5,2,3)", R"(x"","wing","metal")"})
            fails(bad, bad, ErrorKind::InvalidArgument, notAHeader);
        fails("lines ending in CR alone", "\"\",\"wing\",\"metal\"\rl2\r\"\",1,2,\"3\"", ErrorKind::InvalidArgument,
              "carriage return");
        fails("label too long", "\"\",\"wing\",\"x" + x32767 + "\"", ErrorKind::Overflow, "longer than 32767");
        fails("label too long, other name", "\"\",\"w\",\"x" + x32767 + "\"", ErrorKind::Overflow, "longer than 32767");
    }

    void header()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, fileName);
        QFETCH(bool, succeeds);
        QFETCH(ErrorKind, kind);
        QFETCH(QByteArray, said);
        const std::string newBase = fileName.chopped(4).toStdString() + "_new1";
        const auto header = rewriteHeaderLine(line.toStdString(), fileName.toStdString(), newBase);
        checkOutcome(header, succeeds, kind, said);
        if (succeeds)
            QTEST(QByteArray::fromStdString(*header), "result");
    }

    void coordinates_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("factors"); // right|fore|up[|AF5]
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<ErrorKind>("kind");
        QTest::addColumn<QByteArray>("said");
        QTest::addColumn<bool>("fast"); // the fast path takes the line
        const auto ok = [](const char *tag, const QByteArray &line, const QByteArray &factors, const QByteArray &out,
                           bool fast = true) {
            QTest::newRow(tag) << line << factors << true << out << kNone << QByteArray() << fast;
        };
        const auto fails = [](const char *tag, const QByteArray &line, const QByteArray &factors, ErrorKind kind,
                              const QByteArray &said) {
            QTest::newRow(tag) << line << factors << false << QByteArray() << kind << said << false;
        };
        ok("worked example AF99", R"("",1.234,-2.5,3.3)", "2|1.00|0.5", R"("",2.47,-2.5,1.65)");
        ok("worked example AF5", R"("",1.234,-2.5,3.3)", "2|1.00|0.5|AF5", R"("",2.5,-2.5,1.6)");
        ok("normalised", R"("",1.00,2.50,-0.10)", "1.00|1.00|1.00", R"("",1,2.5,-0.1)");
        ok("halves to even", R"("",0.125,0.375,1)", "1|1|1", R"("",0.12,0.38,1)");
        ok("halves at one decimal", R"("",0.25,0.75,1.65)", "1|1|1|AF5", R"("",0.2,0.8,1.6)");
        ok("blanks around numbers", "\"\", 1.5 ,\t2 ,  3", "1|1|1", R"("",1.5,2,3)", false);
        ok("never minus zero", R"("",-0.001,-0,0.004)", "1|1|1", R"("",0,0,0)");
        ok("exponents", R"("",1.5E2,2e-2,-1e-3)", "1|1|1", R"("",150,0.02,0)", false);
        ok("factor forms", R"("",1,1,1)", " 2|+.5 |-1e1", R"("",2,0.5,-10)");
        ok("digit counts at their edges", R"("",10,100,1000)", "1|1|1", R"("",10,100,1000)");
        ok("four digits and five", R"("",9999.99,10000,-100.5)", "1|1|1", R"("",9999.99,10000,-100.5)");
        ok("fourteen digits", R"("",1234567.1234567,0.1,-9999999.9999999)", "1|1|1", R"("",1234567.12,0.1,-10000000)");
        ok("fifteen digits", R"("",1234567.1234567,0.1,12345678901.23)", "1|1|1", R"("",1234567.12,0.1,12345678901.23)",
           false);
        ok("eight digits on one side", R"("",12345678,1.12345678,1)", "1|1|1", R"("",12345678,1.12,1)", false);
        ok("point with no fraction", R"("",5.,-0.,.5)", "1|1|1", R"("",5,0,0.5)", false);
        ok("seven digits and a point", R"("",-1234567.,7654321.0,1)", "2.5|1|1|AF5", R"("",-3086417.5,7654321,1)");
        ok("plus sign", R"("",+5,1,1)", "1|1|1", R"("",5,1,1)", false);
        ok("large results", R"("",9999999,9999999.99,1)", "100000|100000|1", R"("",999999900000,999999999000,1)");
        ok("sixteen digits past 2^53", R"("",9.125000000000001,1,1)", "1|1|1", R"("",9.13,1,1)", false);
        ok("largest scaled below 10^15", R"("",9999999999999.99,1,-9999999999999.99)", "1|1|1",
           R"("",9999999999999.99,1,-9999999999999.99)", false);
        ok("sixteen digits rounded to fifteen", R"("",10000000000000.01,1,1)", "1|1|1", R"("",10000000000000,1,1)",
           false);
        ok("large values rounded first", R"("",50000000000000.0546875,1,1)", "1|1|1", R"("",50000000000000,1,1)",
           false);
        ok("large finite product", R"("",1e307,5e14,1)", "1|4|1", R"("",1E+307,2E+15,1)", false);
        fails("four numbers", R"("",1,2,3,4)", "1|1|1", ErrorKind::InvalidArgument, "holds 4 fields");
        fails("a hundred commas", "\"\"," + QByteArray(100, ','), "1|1|1", ErrorKind::InvalidArgument,
              "holds 101 fields");
        fails("two numbers", R"("",1,2)", "1|1|1", ErrorKind::InvalidArgument, "holds 2 fields");
        fails("two numbers, one field of two", R"("",1 2,3)", "1|1|1", ErrorKind::InvalidArgument, "holds 2 fields");
        fails("no empty field", "1234,2,3", "1|1|1", ErrorKind::InvalidArgument, "does not begin with \"\",");
        fails("blank before comma", R"("" ,1,2,3)", "1|1|1", ErrorKind::InvalidArgument, "does not begin with");
        fails("empty line", "", "1|1|1", ErrorKind::InvalidArgument, "does not begin with \"\",");
        fails("two numbers in a field", R"("",1 2,3,4)", "1|1|1", ErrorKind::TypeMismatch, R"("1 2" is not a number)");
        fails("field not a number", R"("",1,x,3)", "1|1|1", ErrorKind::TypeMismatch,
              R"(the FORE value "x" is not a number)");
        fails("empty field", R"("",1,2,)", "1|1|1", ErrorKind::TypeMismatch, R"(the UP value "" is not a number)");
        fails("factor not a number", R"("",1,2,3)", "abc|1|1", ErrorKind::TypeMismatch,
              R"(the RIGHT factor "abc" is not a number)");
        fails("factor with a comma", R"("",1,2,3)", "1|1,5|1", ErrorKind::TypeMismatch,
              R"(the FORE factor "1,5" is not a number)");
        fails("empty factor", R"("",1,2,3)", "1|1|", ErrorKind::TypeMismatch, R"(the UP factor "" is not a number)");
        fails("axes in order", R"("",x,2,3)", "1|bad|1", ErrorKind::TypeMismatch, R"(the RIGHT value "x")");
        fails("structure first", R"("",1,2,3,4)", "abc|1|1", ErrorKind::InvalidArgument, "holds 4 fields");
        fails("product overflows", R"("",1e308,1,1)", "10|1|1", ErrorKind::Overflow,
              R"(the RIGHT value "1e308" times its factor is too large)");
        fails("number overflows", R"("",1,1e999,1)", "1|1|1", ErrorKind::Overflow,
              R"(the FORE value "1e999" is too large)");
        fails("control and high bytes shown safely", "\"\",1,2,3\r\x01\x1F\x7F\xFF", "1|1|1", ErrorKind::TypeMismatch,
              R"("3\x0D\x01\x1F\x7F\xFF" is not a number)");
        fails("long text cut", "\"\",1,2," + QByteArray(50, '7') + "x", "1|1|1", ErrorKind::TypeMismatch,
              "\"" + QByteArray(40, '7') + "...\" is not a number");
    }

    void coordinates()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, factors);
        QFETCH(bool, succeeds);
        QFETCH(ErrorKind, kind);
        QFETCH(QByteArray, said);
        const ResizeSettings settings = settingsFrom(factors);
        const auto out = transformCoordinateLine(line.toStdString(), settings);
        checkOutcome(out, succeeds, kind, said);
        if (succeeds)
            QTEST(QByteArray::fromStdString(*out), "result");
        QTEST(checkPaths(line.toStdString(), settings), "fast");
    }

    // Random lines of the kinds the fast path takes and some it must refuse.
    void pathsAgreeOnRandomLines()
    {
        std::mt19937_64 random(20261207);
        const auto pick = [&](std::uint64_t n) {
            return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(random);
        };
        // Mostly numbers as parts hold them, -1234.567; the rest anything from
        // 0 to 10^15 with up to 20 digits, blanks and junk around.
        const auto number = [&] {
            std::string text;
            const bool plain = pick(4) != 0;
            if (!plain && pick(4) == 0)
                text += " \t"[pick(2)];
            if (pick(3) == 0)
                text += plain ? '-' : "-+"[pick(2)];
            const std::uint64_t whole = plain ? pick(10'000'000) >> pick(24)
                : pick(16) == 0               ? pick(10)
                                              : pick(std::uint64_t(1e15) + 1) >> (pick(50));
            text += std::to_string(whole);
            const std::size_t fraction = plain ? pick(8) : pick(21 - std::min<std::size_t>(20, text.size()));
            if (fraction > 0 || pick(8) == 0)
                text += '.';
            for (std::size_t i = 0; i < fraction; ++i)
                text += char('0' + pick(10));
            if (plain)
                return text;
            if (pick(12) == 0)
                text += "e-2";
            if (pick(6) == 0)
                text += " \t"[pick(2)];
            if (pick(40) == 0)
                text += "x1,"[pick(3)];
            return text;
        };
        static const char *const factors[] = {"1", "1.00", "2", "0.5", "-1.37", "2.5", "1e-3", "1000", "0.1", "3"};
        int fast = 0;
        for (int i = 0; i < 200000; ++i) {
            const ResizeSettings settings{factors[pick(10)], factors[pick(10)], factors[pick(10)],
                                          pick(2) ? PrecisionMode::AF5 : PrecisionMode::AF99};
            fast += checkPaths("\"\"," + number() + ',' + number() + ',' + number(), settings);
            if (QTest::currentTestFailed())
                return;
        }
        // Else the fast path would hardly be checked.
        QVERIFY2(fast > 50000, qPrintable(QString::number(fast)));
    }
};

QTEST_APPLESS_MAIN(TestLineRules)
#include "tst_line_rules.moc"
