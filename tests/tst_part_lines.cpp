#include "part_lines.h"

#include <QTest>

using namespace morvane;

Q_DECLARE_METATYPE(morvane::ErrorKind)
Q_DECLARE_METATYPE(morvane::PrecisionMode)

#include "part_folder.h"

namespace {

ResizeSettings factors(const char *right, const char *fore, const char *up,
                       PrecisionMode precision = PrecisionMode::AF99)
{
    return ResizeSettings{right, fore, up, precision};
}

} // namespace

class TestPartLines : public QObject {
    Q_OBJECT

private slots:
    void headerRewritten_data();
    void headerRewritten();
    void headerRejected_data();
    void headerRejected();
    void splitFields_data();
    void splitFields();
    void splitRejects_data();
    void splitRejects();
    void transform_data();
    void transform();
    void transformFails_data();
    void transformFails();
};

void TestPartLines::headerRewritten_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("worked example") << QByteArray(R"("","wing","metal")") << QByteArray("wing.afp")
                                    << QByteArray(R"("","wing_new1","metal-Resized")");
    QTest::newRow("empty label") << QByteArray(R"("","wing","")") << QByteArray("wing.afp")
                                 << QByteArray(R"("","wing_new1","")");
    QTest::newRow("part name longer than file's")
        << QByteArray(R"("","wings","metal")") << QByteArray("wing.afp")
        << QByteArray(R"("","wing_new1","metal-Resized")");
    QTest::newRow("part name shorter than file's")
        << QByteArray(R"("","w","metal")") << QByteArray("wing.afp")
        << QByteArray(R"("","wing_new1","metal-Resized")");
    QTest::newRow("part name in other case")
        << QByteArray(R"("","wing","metal")") << QByteArray("WING.AFP")
        << QByteArray(R"("","WING_new1","metal-Resized")");
    QTest::newRow("label holding quotes and commas counted from the name")
        << QByteArray(R"("","wing","a","b")") << QByteArray("wing.afp")
        << QByteArray(R"("","wing_new1","a","b-Resized")");
    QTest::newRow("empty part name") << QByteArray(R"("","","x")") << QByteArray("wing.afp")
                                     << QByteArray(R"("","wing_new1","x-Resized")");
    QTest::newRow("bytes kept") << bytes("\"\",\"wing\",\"m\xE9t\0al\"") << QByteArray("wing.afp")
                                << bytes("\"\",\"wing_new1\",\"m\xE9t\0al-Resized\"");
    QTest::newRow("longest label") << QByteArray("\"\",\"wing\",\"" + QByteArray(32767, 'x') + "\"")
                                   << QByteArray("wing.afp")
                                   << QByteArray("\"\",\"wing_new1\",\"" + QByteArray(32767, 'x') + "-Resized\"");
}

void TestPartLines::headerRewritten()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, expected);
    const std::string newBase = fileName.left(fileName.size() - 4).toStdString() + "_new1";
    const auto line = rewriteHeaderLine(header.toStdString(), fileName.toStdString(), newBase);
    QVERIFY2(line.has_value(), line ? "" : line.error().what.c_str());
    QCOMPARE(QByteArray::fromStdString(*line), expected);
}

void TestPartLines::headerRejected_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<ErrorKind>("kind");
    const auto invalid = ErrorKind::InvalidArgument;
    QTest::newRow("empty") << QByteArray() << invalid;
    QTest::newRow("no quotes") << QByteArray("metal") << invalid;
    QTest::newRow("no closing quote") << QByteArray(R"("","wing","metal)") << invalid;
    QTest::newRow("two fields") << QByteArray(R"("","wing")") << invalid;
    QTest::newRow("third field not opened") << QByteArray(R"("","wing",")") << invalid;
    QTest::newRow("lone quote") << QByteArray("\"") << invalid;
    QTest::newRow("a coordinate line") << QByteArray(R"("",1.5,2,3)") << invalid;
    QTest::newRow("label too long") << QByteArray("\"\",\"wing\",\"" + QByteArray(32768, 'x') + "\"")
                                    << ErrorKind::Overflow;
    QTest::newRow("label too long, other name")
        << QByteArray("\"\",\"other\",\"" + QByteArray(40000, 'x') + "\"") << ErrorKind::Overflow;
}

void TestPartLines::headerRejected()
{
    QFETCH(QByteArray, header);
    QFETCH(ErrorKind, kind);
    const auto line = rewriteHeaderLine(header.toStdString(), "wing.afp", "wing_new1");
    QVERIFY(!line.has_value());
    QCOMPARE(line.error().kind, kind);
}

void TestPartLines::splitFields_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QByteArray>("fore");
    QTest::addColumn<QByteArray>("up");
    QTest::newRow("plain") << QByteArray(R"("",1.234,-2.5,3.3)") << QByteArray("1.234") << QByteArray("-2.5")
                           << QByteArray("3.3");
    QTest::newRow("blanks kept") << QByteArray(R"("", 1 , 2 ,3 )") << QByteArray(" 1 ") << QByteArray(" 2 ")
                                 << QByteArray("3 ");
    QTest::newRow("empty fields") << QByteArray(R"("",,,)") << QByteArray() << QByteArray() << QByteArray();
}

void TestPartLines::splitFields()
{
    QFETCH(QByteArray, line);
    const std::string text = line.toStdString();
    const auto fields = splitCoordinateFields(text);
    QVERIFY(fields.has_value());
    QTEST(QByteArray(fields->right.data(), qsizetype(fields->right.size())), "right");
    QTEST(QByteArray(fields->fore.data(), qsizetype(fields->fore.size())), "fore");
    QTEST(QByteArray(fields->up.data(), qsizetype(fields->up.size())), "up");
}

void TestPartLines::splitRejects_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("four numbers") << QByteArray(R"("",1,2,3,4)") << QByteArray("4 fields");
    QTest::newRow("a hundred commas") << QByteArray("\"\"," + QByteArray(100, ',')) << QByteArray("101 fields");
    QTest::newRow("two numbers") << QByteArray(R"("",1,2)") << QByteArray("2 fields");
    QTest::newRow("nothing after prefix") << QByteArray(R"("",)") << QByteArray("1 fields");
    QTest::newRow("no empty field") << QByteArray("1234,2,3") << QByteArray("begin");
    QTest::newRow("numbers only") << QByteArray("1.5,2,3") << QByteArray("begin");
    QTest::newRow("blank before comma") << QByteArray(R"("" ,1,2,3)") << QByteArray("begin");
    QTest::newRow("empty quotes only") << QByteArray(R"("")") << QByteArray("begin");
    QTest::newRow("empty line") << QByteArray() << QByteArray("begin");
}

void TestPartLines::splitRejects()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, said);
    const auto fields = splitCoordinateFields(line.toStdString());
    QVERIFY(!fields.has_value());
    QCOMPARE(fields.error().kind, ErrorKind::InvalidArgument);
    QVERIFY2(fields.error().what.find(said.toStdString()) != std::string::npos, fields.error().what.c_str());
}

void TestPartLines::transform_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<ResizeSettings>("settings");
    QTest::addColumn<QByteArray>("expected");
    const auto example = factors("2", "1.00", "0.5");
    const auto exampleAF5 = factors("2", "1.00", "0.5", PrecisionMode::AF5);
    const auto unit = factors("1.00", "1.00", "1.00");
    QTest::newRow("worked example AF99") << QByteArray(R"("",1.234,-2.5,3.3)") << example
                                         << QByteArray(R"("",2.47,-2.5,1.65)");
    QTest::newRow("worked example AF5") << QByteArray(R"("",1.234,-2.5,3.3)") << exampleAF5
                                        << QByteArray(R"("",2.5,-2.5,1.6)");
    QTest::newRow("normalised") << QByteArray(R"("",1.00,2.50,-0.10)") << unit << QByteArray(R"("",1,2.5,-0.1)");
    QTest::newRow("halves to even") << QByteArray(R"("",0.125,0.375,1)") << unit << QByteArray(R"("",0.12,0.38,1)");
    QTest::newRow("blanks around numbers") << QByteArray("\"\", 1.5 ,\t2 ,  3") << unit << QByteArray(R"("",1.5,2,3)");
    QTest::newRow("never minus zero") << QByteArray(R"("",-0.001,-0,0.004)") << unit << QByteArray(R"("",0,0,0)");
    QTest::newRow("exponents") << QByteArray(R"("",1.5E2,2e-2,-1e-3)") << unit << QByteArray(R"("",150,0.02,0)");
    QTest::newRow("factor with blanks and sign")
        << QByteArray(R"("",1,1,1)") << factors(" 2", "+3 ", "-1") << QByteArray(R"("",2,3,-1)");
    QTest::newRow("factor with exponent") << QByteArray(R"("",1,1,1)") << factors("1e3", ".5", "5.")
                                          << QByteArray(R"("",1000,0.5,5)");
    QTest::newRow("large finite product written")
        << QByteArray(R"("",1e307,1,1)") << unit << QByteArray(R"("",1E+307,1,1)");
    QTest::newRow("beyond plain digits") << QByteArray(R"("",5e14,1,1)") << factors("4", "1", "1")
                                         << QByteArray(R"("",2E+15,1,1)");
}

void TestPartLines::transform()
{
    QFETCH(QByteArray, line);
    QFETCH(ResizeSettings, settings);
    QFETCH(QByteArray, expected);
    const auto out = transformCoordinateLine(line.toStdString(), settings);
    QVERIFY2(out.has_value(), out ? "" : out.error().what.c_str());
    QCOMPARE(QByteArray::fromStdString(*out), expected);
}

void TestPartLines::transformFails_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<ResizeSettings>("settings");
    QTest::addColumn<ErrorKind>("kind");
    QTest::addColumn<QByteArray>("what");
    const auto unit = factors("1.00", "1.00", "1.00");
    QTest::newRow("field not a number") << QByteArray(R"("",1,x,3)") << unit << ErrorKind::TypeMismatch
                                        << QByteArray(R"(the FORE value "x" is not a number)");
    QTest::newRow("empty field") << QByteArray(R"("",1,2,)") << unit << ErrorKind::TypeMismatch
                                 << QByteArray(R"(the UP value "" is not a number)");
    QTest::newRow("factor not a number") << QByteArray(R"("",1,2,3)") << factors("abc", "1", "1")
                                         << ErrorKind::TypeMismatch
                                         << QByteArray(R"(the RIGHT factor "abc" is not a number)");
    QTest::newRow("factor with decimal comma")
        << QByteArray(R"("",1,2,3)") << factors("1", "1,5", "1") << ErrorKind::TypeMismatch
        << QByteArray(R"(the FORE factor "1,5" is not a number)");
    QTest::newRow("empty factor") << QByteArray(R"("",1,2,3)") << factors("1", "1", "") << ErrorKind::TypeMismatch
                                  << QByteArray(R"(the UP factor "" is not a number)");
    QTest::newRow("axes checked in order") << QByteArray(R"("",x,2,3)") << factors("1", "bad", "1")
                                           << ErrorKind::TypeMismatch
                                           << QByteArray(R"(the RIGHT value "x" is not a number)");
    QTest::newRow("product overflows") << QByteArray(R"("",1e308,1,1)") << factors("10", "1", "1")
                                       << ErrorKind::Overflow
                                       << QByteArray(R"(the RIGHT value "1e308" times its factor is too large)");
    QTest::newRow("number overflows") << QByteArray(R"("",1,1e999,1)") << unit << ErrorKind::Overflow
                                      << QByteArray(R"(the FORE value "1e999" is too large)");
    QTest::newRow("control bytes shown safely") << QByteArray("\"\",1,2,3\r\x01") << unit
                                                << ErrorKind::TypeMismatch
                                                << QByteArray(R"("3\x0D\x01" is not a number)");
    QTest::newRow("structure before factors") << QByteArray(R"("",1,2,3,4)") << factors("abc", "1", "1")
                                              << ErrorKind::InvalidArgument << QByteArray("4 fields");
}

void TestPartLines::transformFails()
{
    QFETCH(QByteArray, line);
    QFETCH(ResizeSettings, settings);
    QFETCH(ErrorKind, kind);
    QFETCH(QByteArray, what);
    const auto out = transformCoordinateLine(line.toStdString(), settings);
    QVERIFY(!out.has_value());
    QCOMPARE(out.error().kind, kind);
    QVERIFY2(out.error().what.find(what.toStdString()) != std::string::npos, out.error().what.c_str());
}

QTEST_APPLESS_MAIN(TestPartLines)
#include "tst_part_lines.moc"
