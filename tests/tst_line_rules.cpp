// The line rules: numbers, the header and coordinate lines. Numbers and
// coordinate lines are also held to an oracle worked out apart from the
// program, and every coordinate line to each variant of the fast path.

#include "core/rules/fast_coordinate_line.h"
#include "core/rules/number_text.h"
#include "core/rules/part_lines.h"
#include "tests/decimal_oracle.h"
#include "tests/part_folder.h"

#include <QTest>

#include <bit>

#include <cfloat>
#include <random>

using namespace morvane;

namespace {

template <typename Result>
void checkOutcome(const std::expected<Result, LineError> &outcome, Fails fails, const QByteArray &said)
{
    QVERIFY2(outcome.has_value() == !fails, outcome ? "succeeds" : outcome.error().what.c_str());
    if (fails) {
        QCOMPARE(outcome.error().kind, *fails);
        QVERIFY2(outcome.error().what.find(said.toStdString()) != std::string::npos, outcome.error().what.c_str());
    }
}

// The general rules and the oracle give the same line, or both fail; each
// fast path variant gives it too or leaves the line, all alike. `fast` tells
// whether they took it.
void checkPaths(const std::string &line, const ResizeSettings &settings, bool &fast)
{
    const AxisFactors factors = readFactors(settings);
    const auto general = transformCoordinateLine(line, factors, settings.precision);
    const std::string texts[3] = {settings.right, settings.fore, settings.up};
    const auto fields = splitCoordinateFields(line);
    const auto expected = fields ? oracle::transformed(*fields, texts, decimalsFor(settings.precision)) : std::nullopt;
    QVERIFY2(general.has_value() == expected.has_value(), line.c_str());
    QCOMPARE(general.value_or(""), expected.value_or(""));
    fast = false;
    if (!factors.factor[0] || !factors.factor[1] || !factors.factor[2])
        return;
    std::array<FastPathVariant, 3> variants;
    for (std::size_t k = 0; k < availableFastPaths(variants); ++k) {
        char out[kFastLineMax];
        const auto length =
            fastTransformCoordinateLine(line, {*factors.factor[0], *factors.factor[1], *factors.factor[2]},
                                        decimalsFor(settings.precision), out, variants[k].transform);
        QVERIFY2(k == 0 || length.has_value() == fast, variants[k].name);
        fast = length.has_value();
        if (fast)
            QCOMPARE(std::string(out, *length), general.value_or("") + "\r\n");
        // The size scan's reader takes every line the transform takes, and
        // reads the same doubles, -0 included, as the general rules.
        const std::string padded = line + '\n' + std::string(kFastReadAhead, '\0');
        double values[3];
        const std::size_t read = line.ends_with('\r')
            ? 0
            : variants[k].read(padded.data(), padded.data() + line.size() + 1, values, 1).lines;
        QVERIFY2(read == 1 || !fast, line.c_str());
        const auto generalValues = readCoordinateLine(line);
        for (std::size_t axis = 0; axis < 3 * read; ++axis)
            QCOMPARE(std::bit_cast<std::uint64_t>(values[axis]), std::bit_cast<std::uint64_t>(generalValues->at(axis)));
    }
}

// Seeded random coordinate lines: mostly numbers as parts hold them,
// -1234.567; the rest from 0 to 10^15 with up to 20 digits, in any form:
// signs, leading zeros, .5 and 5., exponents of up to 5 digits, blanks and
// junk around.
class RandomLines {
public:
    explicit RandomLines(std::uint64_t seed) : m_random(seed) {}

    std::uint64_t pick(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(m_random); }

    // One number in `other`, on average, is not of the parts' form.
    std::string line(std::uint64_t other = 4)
    {
        return "\"\"," + number(other) + ',' + number(other) + ',' + number(other);
    }

private:
    std::string number(std::uint64_t other)
    {
        const bool plain = pick(other) != 0;
        std::string text = plain ? "" : std::string(" \t").substr(pick(3));
        if (pick(3) == 0)
            text += plain ? '-' : "-+"[pick(2)];
        text += std::string(plain ? 0 : pick(3) * pick(2), '0');
        const std::string whole =
            std::to_string(plain ? pick(10'000'000) >> pick(24) : pick(std::uint64_t(1e15) + 1) >> pick(50));
        text += plain || whole != "0" || pick(2) ? whole : "";
        const std::size_t fraction = plain ? pick(8) : pick(21 - std::min<std::size_t>(20, text.size()));
        if (fraction > 0 || pick(8) == 0)
            text += '.';
        for (std::size_t i = 0; i < fraction; ++i)
            text += char('0' + pick(10));
        if (!plain && pick(3) == 0)
            text += "eE"[pick(2)] + std::string(pick(2), "+-"[pick(2)]) + std::string(pick(4), '0')
                + std::to_string(pick(30));
        if (!plain && pick(8) == 0)
            text += std::string_view(" \te-2x1,")[pick(8)];
        return text;
    }

    std::mt19937_64 m_random;
};

} // namespace

class TestLineRules : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<Fails>("fails");
        const QByteArray zeros(1'000'000, '0');
        const auto row = [](const QByteArray &text, double value, Fails fails = {}) {
            QTest::newRow(text.left(30).toPercentEncoding(" +-.,\"").constData()) << text << value << fails;
        };
        // clang-format off
        for (const auto &[text, value] : std::initializer_list<std::pair<QByteArray, double>>{
                 {"1", 1}, {"-0.5", -0.5}, {"+3", 3}, {"  1.25\t ", 1.25}, {"1.5E2", 150}, {"2e+3", 2000},
                 {"1.5e-2", 0.015}, {".5", 0.5}, {"5.", 5}, {"1.7976931348623157e308", DBL_MAX},
                 {"1e-320", 1e-320}, {"1e-400", 0}, {"5e-99999999999999999999", 0},
                 {QByteArray(300, '0') + "42", 42}, {"1" + zeros + "e-1000000", 1}, {"0." + zeros + "1e1000001", 1},
                 {"0." + zeros + "1e500000", 0}, {"1" + zeros + "e-1500000", 0}, {"0.1" + zeros + "1", 0.1},
                 {"9007199254740993." + QByteArray(800, '0') + "1", 9007199254740994.0}})
            row(text, value);
        // clang-format on
        for (const char *text : {"", "   ", "abc", "1,5", "1.2.3", "\"1\"", "inf", "nan", "0x10", "1e", "1e+", "-", ".",
                                 "1 2", "- 5", "+-5", "1D5", "1\r"})
            row(text, 0, ErrorKind::TypeMismatch);
        row(bytes("1\0002"), 0, ErrorKind::TypeMismatch);
        for (const char *text : {"1e309", "-1e400", ".5e309", "1e99999999999999999999"})
            row(text, 0, ErrorKind::Overflow);
        for (const QByteArray &text :
             {"1" + QByteArray(400, '0'), "1" + zeros + "e-500000", "0." + zeros + "1e1000310"})
            row(text, 0, ErrorKind::Overflow);
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QFETCH(Fails, fails);
        const auto parsed = parseNumber(text.toStdString());
        checkOutcome(parsed, fails, " is ");
        // A number is read within its field, whatever follows it in the line.
        const std::string followed = text.toStdString() + "9";
        const auto within = parseNumber(std::string_view(followed).substr(0, std::size_t(text.size())));
        QVERIFY(within ? parsed && *within == *parsed : !parsed && within.error().kind == parsed.error().kind);
        if (parsed) {
            QVERIFY2(*parsed == value && std::signbit(*parsed) == std::signbit(value),
                     qPrintable(QString::number(*parsed)));
            QCOMPARE(oracle::read(text.toStdString()), std::optional(*parsed));
        }
    }

    void header_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("fileName");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<Fails>("fails");
        QTest::addColumn<QByteArray>("said"); // what a failure says
        const QByteArray x32767(32767, 'x');
        const auto row = [](const char *tag, const QByteArray &line, const QByteArray &fileName,
                            const QByteArray &result, Fails fails = {}, const QByteArray &said = {}) {
            QTest::newRow(tag) << line << fileName << result << fails << said;
        };
        row("worked example", R"("","wing","metal")", "wing.afp", R"("","wing_new1","metal-Resized")");
        row("empty label", R"("","wing","")", "wing.afp", R"("","wing_new1","")");
        row("longer part name", R"("","wings","metal")", "wing.afp", R"("","wing_new1","metal-Resized")");
        row("empty part name", R"("","","x")", "wing.afp", R"("","wing_new1","x-Resized")");
        row("label counted from the own name", R"("","wing","a","b")", "wing.afp", R"("","wing_new1","a","b-Resized")");
        row("own name holding a separator", R"("","a","b","c")", R"(a","b.afp)", R"("","a","b_new1","c-Resized")");
        row("bytes kept", bytes("\"\",\"w\xE9\",\"m\xE9t\0al\""), "w\xE9.afp",
            bytes("\"\",\"w\xE9_new1\",\"m\xE9t\0al-Resized\""));
        row("longest label", "\"\",\"wing\",\"" + x32767 + "\"", "wing.afp",
            "\"\",\"wing_new1\",\"" + x32767 + "-Resized\"");
        for (const char *bad : {"", "metal", R"("","wing","metal)", R"("","wing")", R"("","wing",")", "\"",
                                R"("",1.5,2,3)", R"(x"","wing","metal")"})
            row(bad, bad, "wing.afp", {}, ErrorKind::InvalidArgument, "the header is not of the form");
        row("lines ending in CR alone", "\"\",\"wing\",\"metal\"\rl2\r\"\",1,2,\"3\"", "wing.afp", {},
            ErrorKind::InvalidArgument, "carriage return");
        row("label too long", "\"\",\"wing\",\"x" + x32767 + "\"", "wing.afp", {}, ErrorKind::Overflow,
            "longer than 32767");
        row("too long, other name", "\"\",\"w\",\"x" + x32767 + "\"", "wing.afp", {}, ErrorKind::Overflow,
            "than 32767");
    }

    void header()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, fileName);
        QFETCH(Fails, fails);
        QFETCH(QByteArray, said);
        const std::string newBase = fileName.chopped(4).toStdString() + "_new1";
        const auto header = rewriteHeaderLine(line.toStdString(), fileName.toStdString(), newBase);
        checkOutcome(header, fails, said);
        if (header)
            QTEST(QByteArray::fromStdString(*header), "result");
    }

    void coordinates_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("factors"); // right|fore|up[|AF5]
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<bool>("fast"); // the fast path takes the line
        QTest::addColumn<Fails>("fails");
        QTest::addColumn<QByteArray>("said"); // what a failure says
        const auto ok = [](const char *tag, const QByteArray &line, const char *factors, const QByteArray &out,
                           bool fast) {
            QTest::newRow(tag) << line << QByteArray(factors) << out << fast << Fails() << QByteArray();
        };
        const auto fails = [](const char *tag, const QByteArray &line, const char *factors, ErrorKind kind,
                              const QByteArray &said) {
            QTest::newRow(tag) << line << QByteArray(factors) << QByteArray() << false << Fails(kind) << said;
        };
        ok("worked example AF99", R"("",1.234,-2.5,3.3)", "2|1.00|0.5", R"("",2.47,-2.5,1.65)", true);
        ok("worked example AF5", R"("",1.234,-2.5,3.3)", "2|1.00|0.5|AF5", R"("",2.5,-2.5,1.6)", true);
        ok("normalised", R"("",1.00,2.50,-0.10)", "1.00|1.00|1.00", R"("",1,2.5,-0.1)", true);
        ok("halves to even", R"("",0.125,0.375,1)", "1|1|1", R"("",0.12,0.38,1)", true);
        ok("halves at one decimal", R"("",0.25,0.75,1.65)", "1|1|1|AF5", R"("",0.2,0.8,1.6)", true);
        ok("never minus zero", R"("",-0.001,-0,0.004)", "1|1|1", R"("",0,0,0)", true);
        ok("7 digits, a point", R"("",-1234567.,7654321.0,1)", "2.5|1|1|AF5", R"("",-3086417.5,7654321,1)", true);
        ok("factor forms", R"("",1,1,1)", " 2|+.5 |-1e1", R"("",2,0.5,-10)", true);
        ok("blanks around numbers", "\"\", 1.5 ,\t2 ,  3", "1|1|1", R"("",1.5,2,3)", true);
        ok("exponents", R"("",1.5E2,2e-2,-1e-3)", "1|1|1", R"("",150,0.02,0)", true);
        ok("point with no fraction", R"("",5.,-0.,.5)", "1|1|1", R"("",5,0,0.5)", true);
        ok("plus sign", R"("",+5,1,1)", "1|1|1", R"("",5,1,1)", true);
        ok("eight digits on one side", R"("",12345678,1.12345678,1)", "1|1|1", R"("",12345678,1.12,1)", true);
        ok("sixteen digits past 2^53", R"("",9.125000000000001,1,1)", "1|1|1", R"("",9.13,1,1)", true);
        ok("largest scaled below 10^15", R"("",9999999999999.99,1,1)", "1|1|1", R"("",9999999999999.99,1,1)", true);
        ok("16 digits to 15", R"("",10000000000000.01,1,1)", "1|1|1", R"("",10000000000000,1,1)", false);
        ok("large, rounded first", R"("",50000000000000.0546875,1,1)", "1|1|1", R"("",50000000000000,1,1)", false);
        ok("the rounded double's digits", R"("",12345678901234.35,-19308151111450.85,1)", "1|1|1",
           R"("",12345678901234.3,-19308151111450.9,1)", false);
        ok("rounded to a digit more", R"("",99999999999999.995,999999999999999.9,1)", "1|1|1|AF5",
           R"("",100000000000000,1E+15,1)", false);
        ok("large finite product", R"("",1e307,5e14,1)", "1|4|1", R"("",1E+307,2E+15,1)", false);
        ok("exact past 2^52", R"("",200000000000001.5,450359962737049.6,1)", "1|1|1|AF5",
           R"("",200000000000002,450359962737050,1)", false);
        ok("fifteen digits of large values", R"("",1234567890123456,1e308,-1e15)", "1|1.7976931348623157|1",
           R"("",1.23456789012346E+15,1.79769313486232E+308,-1E+15)", false);
        // Each number form the fast path reads, beside halves and the edges of
        // its reading; then, beside two it reads, one it leaves.
        for (const auto &[line, factors, out] : std::initializer_list<std::array<const char *, 3>>{
                 {"\"\",+007.50, 2.5\t,1e+01", "1|1|1", R"("",7.5,2.5,10)"},
                 {R"("",1234567890.123456789,0.1234567890123456789,1.000000000000000000)", "1|1|1",
                  R"("",1234567890.12,0.12,1)"},
                 {R"("",1.5E-1,25e0000,-.5e+0002)", "1|1|1", R"("",0.15,25,-50)"},
                 {R"("",1.005,1.0050000000000001,-2.675)", "1|1|1", R"("",1,1.01,-2.68)"},
                 {R"("",0.0625,1.3125,0.3125)", "2|2|2", R"("",0.12,2.62,0.62)"},
                 {R"("",0.225,0.175,.5e0)", "2|-2|0.5|AF5", R"("",0.4,-0.4,0.2)"},
                 {R"("",0.1250000000000000001,-0.0050000000000000001,-5.)", "1|1|1e-3", R"("",0.12,0,0)"},
                 {R"("",9007199254740993,9007199254740995,-9007199254740992e-10)", "1e-5|1e-5|1",
                  R"("",90071992547.41,90071992547.41,-900719.93)"},
                 {R"("",1e22,-1e23,1.5e-23)", "1e-20|1e-20|1", R"("",100,-1000,0)"},
                 // Past 2^53: a unit of the 19th digit either side of a midpoint
                 // between doubles; exact ties; 17 digits and an exponent.
                 {R"("",9.125000000000002664,9.125000000000002665,-1234.567890123456777)", "1|1|1",
                  R"("",9.13,9.13,-1234.57)"},
                 {R"("",1234.567890123456778,0.3000000000000000721,-0.3000000000000000722)", "1|1|1",
                  R"("",1234.57,0.3,-0.3)"},
                 {R"("",18014398509481986,-9007199254740993.0,12345678901234567e3)", "1e-10|1e-10|1e-20",
                  R"("",1801439.85,-900719.93,0.12)"},
                 {R"("",1.2345678901234567e-05,-9.8765432109876543E+10,+1.2345678901234567e2)", "1e5|1e-10|1",
                  R"("",1.23,-9.88,123.46)"},
                 {R"("",0.000000000000001234567890123456,0.0000000000000000012345678901234,  1.2345678901234567 )",
                  "1e15|1e18|1", R"("",1.23,1.23,1.23)"},
                 {R"("",4.9e-324,-2.5e-320,-0e5)", "1|1|1", R"("",0,0,0)"}})
            ok(line, line, factors, out, true);
        ok("a field of 48 bytes", "\"\"," + QByteArray(47, ' ') + "1,1,1", "1|1|1", R"("",1,1,1)", true);
        ok("digits to a field's 48th byte", "\"\"," + QByteArray(47, '0') + "1," + QByteArray(40, ' ') + "8100000.,1",
           "1|1|1", R"("",1,8100000,1)", true);
        // clang-format off
        for (const auto &[field, out] : std::initializer_list<std::pair<QByteArray, QByteArray>>{
                 {"12345678901234567890e-10", "1234567890.12"}, {"1e00001", "10"}, {"1e-400", "0"},
                 {"1234567.123456789012345", "1234567.12"}, {"-12345.123456789012345", "-12345.12"},
                 {QByteArray(48, ' ') + '1', "1"}})
            ok(field.constData(), "\"\"," + field + ",-.5,1.5e1", "1|1|1", "\"\"," + out + ",-0.5,15", false);
        // clang-format on
        const auto fields = [&](const char *tag, const QByteArray &line, const char *said) {
            fails(tag, line, "1|1|1", ErrorKind::InvalidArgument, said);
        };
        fields("four numbers", R"("",1,2,3,4)", "holds 4 fields");
        fields("a hundred commas", "\"\"," + QByteArray(100, ','), "holds 101 fields");
        fields("two numbers", R"("",1,2)", "holds 2 fields");
        fields("one field of two", R"("",1 2,3)", "holds 2 fields");
        fields("no empty field", "1234,2,3", "does not begin with \"\",");
        fields("empty line", "", "does not begin with \"\",");
        fails("two numbers in a field", R"("",1 2,3,4)", "1|1|1", ErrorKind::TypeMismatch, R"("1 2" is not a number)");
        fails("empty field", R"("",1,2,)", "1|1|1", ErrorKind::TypeMismatch, R"(the UP value "" is not a number)");
        fails("factor not a number", R"("",1,2,3)", "abc|1|1", ErrorKind::TypeMismatch,
              R"(the RIGHT factor "abc" is not)");
        fails("factor with a comma", R"("",1,2,3)", "1|1,5|1", ErrorKind::TypeMismatch,
              R"(the FORE factor "1,5" is not)");
        fails("axes in order", R"("",x,2,3)", "1|bad|1", ErrorKind::TypeMismatch, R"(the RIGHT value "x")");
        fails("product overflows", R"("",1e308,1,1)", "10|1|1", ErrorKind::Overflow,
              R"("1e308" times its factor is too large)");
        fails("too large", R"("",1,1e400,1)", "1|1|1", ErrorKind::Overflow, R"(the FORE value "1e400" is too large)");
        // Text from a part or a factor is shown as typed, but for control
        // characters (C0, DEL, C1, U+2028 to U+202E, the isolates) and bytes that
        // are not UTF-8 (stray, overlong, a surrogate, past U+10FFFF, cut
        // short), each byte as \xHH; cut after 40 characters.
        const auto shown = [&](const char *tag, const QByteArray &text, const QByteArray &said) {
            fails(tag, "\"\",1,2," + text, "1|1|1", ErrorKind::TypeMismatch, '"' + said + "\" is not a number");
        };
        const QByteArray text = "~\xC2\xA0\xD8\x9B\xD8\x9D\xE0\xA0\x80\xE2\x80\x8D\xE2\x80\x90\xE2\x80\xA7\xE2\x80\xAF"
                                "\xE2\x81\xA5\xE2\x81\xAA\xED\x9F\xBF\xEE\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
        shown("text beside the controls", text, text);
        shown("a control in a short line",
              "\x0B"
              "3",
              R"(\x0B3)");
        shown("controls and bytes that are not UTF-8",
              "\xC3\xA9\r\x01\x1F\x7F\xC2\x80\xC2\x9F\xD8\x9C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xA8\xE2\x80\xAE"
              "\xE2\x81\xA6\xE2\x81\xA9\x80\xBF\xC0\xAF\xE0\x9F\xBF\xED\xA0\x80\xF0\x8F\xBF\xBF\xF4\x90\x80\x80"
              "\xF8\x88\xFF\xC3\xE2\x82",
              R"(é\x0D\x01\x1F\x7F\xC2\x80\xC2\x9F\xD8\x9C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xA8\xE2\x80\xAE)"
              R"(\xE2\x81\xA6\xE2\x81\xA9\x80\xBF\xC0\xAF\xE0\x9F\xBF\xED\xA0\x80\xF0\x8F\xBF\xBF\xF4\x90\x80\x80)"
              R"(\xF8\x88\xFF\xC3\xE2\x82)");
        const QByteArray sevens(38, '7');
        shown("forty characters whole", sevens + "éé", sevens + "éé");
        shown("cut between characters", sevens + "7éé", sevens + "7é...");
    }

    void coordinates()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, factors);
        QFETCH(Fails, fails);
        QFETCH(QByteArray, said);
        const QList<QByteArray> texts = factors.split('|');
        const ResizeSettings settings{texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
                                      texts.value(3) == "AF5" ? PrecisionMode::AF5 : PrecisionMode::AF99};
        const auto out = transformCoordinateLine(line.toStdString(), settings);
        checkOutcome(out, fails, said);
        if (out)
            QTEST(QByteArray::fromStdString(*out), "result");
        bool fast = false;
        checkPaths(line.toStdString(), settings, fast);
        QTEST(fast, "fast");
    }

    // The AVX-512 lanes read each form they are built for themselves, and
    // leave to the one-at-a-time reader only what they must: a fault there
    // changes no byte, but makes every number cost several times as much.
    void lanesReadTheirForms_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("apart"); // numbers a line leaves to be read one at a time; -1: the line is left
        QTest::newRow("3 decimals") << QByteArray(R"("",12.345,-67.891,3.142)") << 0;
        QTest::newRow("8 decimals") << QByteArray(R"("",12.34567891,-67.89123456,3.14159265)") << 0;
        QTest::newRow("exponents") << QByteArray(R"("",1.234568e+01,-6.789123E-01,3.141593e0)") << 0;
        QTest::newRow("exponents of two digits and of three") << QByteArray(R"("",1.5E+09,-2.5e-10,3e+015)") << 0;
        QTest::newRow("15 digits") << QByteArray(R"("",12.3456789012345,-67.8912345678912,3.14159265358979)") << 0;
        QTest::newRow("blanks") << QByteArray("\"\", 12.345 ,\t-67.891, 3.142") << 0;
        QTest::newRow("many blanks") << "\"\"," + QByteArray(20, ' ') + "12.345,  -67.891,3.142" << 0;
        QTest::newRow("17 digits") << QByteArray(R"("",12.345678901234567,-67.891234567891234,0.31415926535897931)")
                                   << 0;
        QTest::newRow("the point in a later word") << QByteArray(R"("",12345678.901234567,-1234567890123456.5,1)") << 0;
        QTest::newRow("19 digits") << QByteArray(R"("",9.125000000000002665,12345678901234567e3,-0.1)") << 0;
        QTest::newRow("17 digits, exponents")
            << QByteArray(R"("",1.2345678901234567e-05,-98765432109876543E-6,1)") << 0;
        QTest::newRow("17 to 19 digits, a point at either end or none")
            << QByteArray(R"("",.12345678901234567,12345678901234566.,-1234567890123456789)") << 0;
        QTest::newRow("24 bytes, 22 decimals")
            << QByteArray(R"("",0000012.3456789012345678,.0000000000000000000001,-5)") << 0;
        QTest::newRow("17 digits between blanks")
            << QByteArray("\"\", 12.345678901234567 ,\t-67.891234567891234,1") << 0;
        QTest::newRow("17 digits beside an exponent") << QByteArray(R"("",12.345678901234567,1.5e3,-0.25)") << 0;
        // 23 decimals; a tie between doubles; a sign the lanes leave to the
        // reader; a value within 2^-52 ulp of a midpoint.
        QTest::newRow("decimals the wide lanes leave")
            << QByteArray(R"("",.00000000000000000000001,12345678901234567.,+12.345678901234567)") << 3;
        QTest::newRow("a decimal near a midpoint") << QByteArray(R"("",0.0000009991058017625562,1,1)") << 1;
        // A sign, an exact tie, a value within 2^-52 ulp of a midpoint.
        QTest::newRow("one at a time") << QByteArray(R"("",+5,18014398509481986,9991058017625562e-22)") << 3;
        QTest::newRow("19 digits after leading zeros") << QByteArray(R"("",0.000000000000001234567890123456,1,1)") << 1;
        QTest::newRow("a field past a wide slot") << QByteArray(R"("",0.0000000000000000012345678901234,1,1)") << 3;
        // Left to the general rules from the first.
        QTest::newRow("a control byte") << QByteArray("\"\",1,2\x0B,3") << -1;
        QTest::newRow("20 digits") << QByteArray(R"("",1234567890.1234567891,1,1)") << -1;
        QTest::newRow("two points in a wide field") << QByteArray(R"("",1.2.34567890123456,1,1)") << -1;
        QTest::newRow("a colon in an exponent") << QByteArray(R"("",1.5e+0:,1,1)") << -1;
        QTest::newRow("a colon, next to '9', in a wide field") << QByteArray(R"("",12.3456789012345:7,1,1)") << -1;
        QTest::newRow("a point alone beside a wide field") << QByteArray(R"("",.,12.345678901234567,1)") << -1;
        QTest::newRow("a line past a load")
            << QByteArray(R"("",-1.2345678901234567e+01,6.7891234567891234e+01,3.1415926535897931e+00)") << 3;
    }
    void lanesReadTheirForms()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, apart);
        std::array<FastPathVariant, 3> variants;
        const std::size_t count = availableFastPaths(variants);
        if (std::string_view(variants[count - 1].name) != "AVX-512")
            QSKIP("This processor has no AVX-512.");
        // Lines enough for several batches, whose lanes run full.
        constexpr int kLines = 80;
        const std::string text = (line + "\r\n").repeated(kLines).toStdString() + std::string(kFastReadAhead, '\0');
        std::vector<double> values(3 * kLines);
        const FastProgress read =
            variants[count - 1].read(text.data(), text.data() + text.size() - kFastReadAhead, values.data(), kLines);
        QCOMPARE(read.lines, std::size_t(apart < 0 ? 0 : kLines));
        if (apart < 0)
            return;
        QCOMPARE(read.apart, std::size_t(apart * kLines));
        const auto general = readCoordinateLine(line.toStdString());
        for (int at = 0; at < 3 * kLines; ++at)
            QCOMPARE(std::bit_cast<std::uint64_t>(values[at]), std::bit_cast<std::uint64_t>(general->at(at % 3)));
    }

    // Seeded random lines: mostly numbers as parts hold them; the rest far
    // from that form.
    void pathsAgreeOnRandomLines()
    {
        RandomLines random(20261207);
        static const char *const factors[] = {"1", "1.00", "2", "0.5", "-1.37", "2.5", "1e-3", "1000", "0.1", "3"};
        int taken = 0, otherForms = 0;
        for (int i = 0; i < 200000 && !QTest::currentTestFailed(); ++i) {
            const ResizeSettings settings{factors[random.pick(10)], factors[random.pick(10)], factors[random.pick(10)],
                                          random.pick(2) ? PrecisionMode::AF5 : PrecisionMode::AF99};
            bool fast = false;
            const std::string line = random.line();
            checkPaths(line, settings, fast);
            taken += fast;
            otherForms += fast && line.find_first_of("eE+ \t") != std::string::npos;
        }
        QVERIFY2(taken > 140000 && otherForms > 50000, "the fast path would hardly be checked");
    }

    // Blocks of random lines (every other one with runs of the parts' form
    // longer than a batch) cut at a random end, the text going on past it as
    // in the reader's window, each handed over again after every line the
    // fast path leaves: the plain variant writes what the general rules
    // write, and each other takes the lines it takes, none across the end,
    // and writes the same bytes.
    void variantsAgreeOnBlocks()
    {
        RandomLines random(20261208);
        const std::array<double, 3> factors = {1.37, 0.8, -2.5};
        const AxisFactors axisFactors = readFactors({"1.37", "0.8", "-2.5", PrecisionMode::AF99});
        std::array<FastPathVariant, 3> variants;
        const std::size_t count = availableFastPaths(variants);
        std::size_t taken = 0;
        for (int block = 0; block < 3000 && !QTest::currentTestFailed(); ++block) {
            std::string text;
            std::vector<std::string> lines(1 + random.pick(100));
            for (std::string &line : lines)
                text += (line = random.line(block % 2 ? 4 : 50)) + (random.pick(4) != 0 ? "\r\n" : "\n");
            const std::size_t end = random.pick(text.size() + 1);
            text.append(kFastReadAhead, '\n');
            const std::size_t maxLines = 1 + random.pick(lines.size());
            const PrecisionMode precision = random.pick(2) ? PrecisionMode::AF99 : PrecisionMode::AF5;
            const int decimals = decimalsFor(precision);
            std::vector<char> expected(maxLines * kFastLineMax), out(maxLines * kFastLineMax);
            for (std::size_t at = 0, line = 0; at < end;) {
                const auto run = [&](FastLines transform, char *into) {
                    return transform(text.data() + at, text.data() + end, factors.data(), decimals, into, maxLines);
                };
                const FastProgress plain = run(fastLinesPlain, expected.data());
                QVERIFY(at + plain.consumed <= end && plain.lines <= maxLines && line + plain.lines <= lines.size());
                std::string general;
                for (std::size_t i = line; i < line + plain.lines; ++i)
                    general += transformCoordinateLine(lines[i], axisFactors, precision).value_or("") + "\r\n";
                QCOMPARE(std::string_view(expected.data(), plain.written), general);
                for (std::size_t k = 1; k < count; ++k) {
                    const FastProgress progress = run(variants[k].transform, out.data());
                    QVERIFY2(progress.consumed == plain.consumed && progress.lines == plain.lines, variants[k].name);
                    QCOMPARE(std::string_view(out.data(), progress.written),
                             std::string_view(expected.data(), plain.written));
                }
                taken += plain.lines;
                at += plain.consumed;
                line += plain.lines;
                if (plain.lines < maxLines) {
                    at = text.find('\n', at) + 1;
                    ++line;
                }
            }
        }
        QVERIFY2(taken > 50000, "the blocks would hardly be taken");
    }
};

QTEST_APPLESS_MAIN(TestLineRules)
#include "tst_line_rules.moc"
