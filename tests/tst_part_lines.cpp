#include "core/rules/fast_coordinate_line.h"
#include "core/rules/part_lines.h"
#include "tests/part_folder.h"

#include <QTest>

using namespace morvane;

namespace {

ResizeSettings settingsFrom(const QByteArray &factors)
{
    const QList<QByteArray> texts = factors.split('|');
    return {texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
            texts.value(3) == "AF5" ? PrecisionMode::AF5 : PrecisionMode::AF99};
}

// Where the fast path answers, it must answer as the general rules do.
void checkFastPath(const std::string &line, const ResizeSettings &settings)
{
    const AxisFactors factors = readFactors(settings);
    if (!factors.factor[0] || !factors.factor[1] || !factors.factor[2])
        return;
    char out[kFastLineMax];
    const auto length = fastTransformCoordinateLine(line, {*factors.factor[0], *factors.factor[1], *factors.factor[2]},
                                                    decimalsFor(settings.precision), out);
    if (!length)
        return;
    const auto general = transformCoordinateLine(line, factors, settings.precision);
    QVERIFY2(general.has_value(), line.c_str());
    QCOMPARE(QByteArray(out, qsizetype(*length)), QByteArray::fromStdString(*general + "\r\n"));
}

} // namespace

class TestPartLines : public QObject {
    Q_OBJECT

private slots:
    void header_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("fileName");
        QTest::addColumn<QByteArray>("expected"); // or, for a failure, "!" and what it says
        const QByteArray x32767(32767, 'x');
        QTest::newRow("worked example") << QByteArray(R"("","wing","metal")") << QByteArray("wing.afp")
                                        << QByteArray(R"("","wing_new1","metal-Resized")");
        QTest::newRow("empty label") << QByteArray(R"("","wing","")") << QByteArray("wing.afp")
                                     << QByteArray(R"("","wing_new1","")");
        QTest::newRow("longer part name") << QByteArray(R"("","wings","metal")") << QByteArray("wing.afp")
                                          << QByteArray(R"("","wing_new1","metal-Resized")");
        QTest::newRow("empty part name") << QByteArray(R"("","","x")") << QByteArray("wing.afp")
                                         << QByteArray(R"("","wing_new1","x-Resized")");
        QTest::newRow("other case") << QByteArray(R"("","wing","metal")") << QByteArray("WING.AFP")
                                    << QByteArray(R"("","WING_new1","metal-Resized")");
        QTest::newRow("label counted from the own name") << QByteArray(R"("","wing","a","b")") << QByteArray("wing.afp")
                                                         << QByteArray(R"("","wing_new1","a","b-Resized")");
        QTest::newRow("bytes kept") << bytes("\"\",\"wing\",\"m\xE9t\0al\"") << QByteArray("wing.afp")
                                    << bytes("\"\",\"wing_new1\",\"m\xE9t\0al-Resized\"");
        QTest::newRow("longest label") << "\"\",\"wing\",\"" + x32767 + "\"" << QByteArray("wing.afp")
                                       << "\"\",\"wing_new1\",\"" + x32767 + "-Resized\"";
        for (const QByteArray &bad :
             {QByteArray(), QByteArray("metal"), QByteArray(R"("","wing","metal)"), QByteArray(R"("","wing")"),
              QByteArray(R"("","wing",")"), QByteArray("\""), QByteArray(R"("",1.5,2,3)")})
            QTest::newRow(("not a header: " + bad).constData())
                << bad << QByteArray("wing.afp") << QByteArray("!the header is not of the form");
        QTest::newRow("label too long") << "\"\",\"wing\",\"x" + x32767 + "\"" << QByteArray("wing.afp")
                                        << QByteArray("!longer than 32767");
        QTest::newRow("label too long, other name")
            << "\"\",\"w\",\"x" + x32767 + "\"" << QByteArray("wing.afp") << QByteArray("!longer than 32767");
    }

    void header()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, fileName);
        QFETCH(QByteArray, expected);
        const std::string newBase = fileName.left(fileName.size() - 4).toStdString() + "_new1";
        const auto header = rewriteHeaderLine(line.toStdString(), fileName.toStdString(), newBase);
        if (expected.startsWith('!')) {
            QVERIFY(!header);
            QVERIFY2(header.error().what.find(expected.mid(1).toStdString()) != std::string::npos,
                     header.error().what.c_str());
            QCOMPARE(header.error().kind,
                     expected.contains("32767") ? ErrorKind::Overflow : ErrorKind::InvalidArgument);
        } else {
            QVERIFY2(header.has_value(), header ? "" : header.error().what.c_str());
            QCOMPARE(QByteArray::fromStdString(*header), expected);
        }
    }

    void coordinates_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("factors"); // right|fore|up[|AF5]
        QTest::addColumn<QByteArray>("expected"); // or, for a failure, "!" and what it says
        const auto row = [](const char *name, const QByteArray &line, const QByteArray &factors,
                            const QByteArray &out) { QTest::newRow(name) << line << factors << out; };
        row("worked example AF99", R"("",1.234,-2.5,3.3)", "2|1.00|0.5", R"("",2.47,-2.5,1.65)");
        row("worked example AF5", R"("",1.234,-2.5,3.3)", "2|1.00|0.5|AF5", R"("",2.5,-2.5,1.6)");
        row("normalised", R"("",1.00,2.50,-0.10)", "1.00|1.00|1.00", R"("",1,2.5,-0.1)");
        row("halves to even", R"("",0.125,0.375,1)", "1|1|1", R"("",0.12,0.38,1)");
        row("halves at one decimal", R"("",0.25,0.75,1.65)", "1|1|1|AF5", R"("",0.2,0.8,1.6)");
        row("blanks around numbers", "\"\", 1.5 ,\t2 ,  3", "1|1|1", R"("",1.5,2,3)");
        row("never minus zero", R"("",-0.001,-0,0.004)", "1|1|1", R"("",0,0,0)");
        row("exponents", R"("",1.5E2,2e-2,-1e-3)", "1|1|1", R"("",150,0.02,0)");
        row("factor forms", R"("",1,1,1)", " 2|+.5 |-1e1", R"("",2,0.5,-10)");
        row("large finite product", R"("",1e307,5e14,1)", "1|4|1", R"("",1E+307,2E+15,1)");
        row("fifteen digits", R"("",1234567.1234567,0.1,12345678901.23)", "1|1|1",
            R"("",1234567.12,0.1,12345678901.23)");
        row("four numbers", R"("",1,2,3,4)", "1|1|1", "!holds 4 fields");
        row("a hundred commas", "\"\"," + QByteArray(100, ','), "1|1|1", "!holds 101 fields");
        row("two numbers", R"("",1,2)", "1|1|1", "!holds 2 fields");
        row("no empty field", "1234,2,3", "1|1|1", "!does not begin with \"\",");
        row("blank before comma", R"("" ,1,2,3)", "1|1|1", "!does not begin with \"\",");
        row("empty line", "", "1|1|1", "!does not begin with \"\",");
        row("field not a number", R"("",1,x,3)", "1|1|1", R"(!the FORE value "x" is not a number)");
        row("empty field", R"("",1,2,)", "1|1|1", R"(!the UP value "" is not a number)");
        row("factor not a number", R"("",1,2,3)", "abc|1|1", R"(!the RIGHT factor "abc" is not a number)");
        row("factor with a comma", R"("",1,2,3)", "1|1,5|1", R"(!the FORE factor "1,5" is not a number)");
        row("empty factor", R"("",1,2,3)", "1|1|", R"(!the UP factor "" is not a number)");
        row("axes in order", R"("",x,2,3)", "1|bad|1", R"(!the RIGHT value "x")");
        row("structure first", R"("",1,2,3,4)", "abc|1|1", "!holds 4 fields");
        row("product overflows", R"("",1e308,1,1)", "10|1|1",
            R"(!the RIGHT value "1e308" times its factor is too large)");
        row("number overflows", R"("",1,1e999,1)", "1|1|1", R"(!the FORE value "1e999" is too large)");
        row("control bytes shown safely", "\"\",1,2,3\r\x01", "1|1|1", R"(!"3\x0D\x01" is not a number)");
    }

    void coordinates()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, factors);
        QFETCH(QByteArray, expected);
        const ResizeSettings settings = settingsFrom(factors);
        const auto out = transformCoordinateLine(line.toStdString(), settings);
        if (expected.startsWith('!')) {
            QVERIFY(!out);
            QVERIFY2(out.error().what.find(expected.mid(1).toStdString()) != std::string::npos,
                     out.error().what.c_str());
        } else {
            QVERIFY2(out.has_value(), out ? "" : out.error().what.c_str());
            QCOMPARE(QByteArray::fromStdString(*out), expected);
        }
        checkFastPath(line.toStdString(), settings);
    }
};

QTEST_APPLESS_MAIN(TestPartLines)
#include "tst_part_lines.moc"
