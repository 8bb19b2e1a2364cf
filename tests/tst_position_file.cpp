#include "position_file.h"

#include <QTest>

#include <optional>

using namespace PositionFile;

class TestPositionFile : public QObject {
    Q_OBJECT
private slots:
    void readNumber_data();
    void readNumber();
    void writeNumber_data();
    void writeNumber();
    void readPosition_data();
    void readPosition();
    void writtenFormReadsBack();
};

void TestPositionFile::readNumber_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << QByteArray("6000") << true << 6000;
    QTest::newRow("negative") << QByteArray("-45") << true << -45;
    QTest::newRow("plus sign") << QByteArray("+12") << true << 12;
    QTest::newRow("blanks before") << QByteArray("  \t 17") << true << 17;
    QTest::newRow("trailing text") << QByteArray("1200abc") << true << 1200;
    QTest::newRow("blank inside ends it") << QByteArray("12 34") << true << 12;
    QTest::newRow("half to even down") << QByteArray("2.5") << true << 2;
    QTest::newRow("half to even up") << QByteArray("3.5") << true << 4;
    QTest::newRow("negative half") << QByteArray("-2.5") << true << -2;
    QTest::newRow("above half") << QByteArray("2.51") << true << 3;
    QTest::newRow("leading point") << QByteArray(".6") << true << 1;
    QTest::newRow("trailing point") << QByteArray("7.") << true << 7;
    QTest::newRow("comma is not a point") << QByteArray("7,9") << true << 7;
    QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
    QTest::newRow("empty reads 0") << QByteArray("") << true << 0;
    QTest::newRow("words read 0") << QByteArray("abc") << true << 0;
    QTest::newRow("sign alone reads 0") << QByteArray("-") << true << 0;
    QTest::newRow("point alone reads 0") << QByteArray(".") << true << 0;
    QTest::newRow("nan reads 0") << QByteArray("nan") << true << 0;
    QTest::newRow("inf reads 0") << QByteArray("inf") << true << 0;
    QTest::newRow("exponent not taken") << QByteArray("1e400") << true << 1;
    QTest::newRow("hex not taken") << QByteArray("0x10") << true << 0;
    QTest::newRow("largest") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << true << int(-2147483648LL);
    QTest::newRow("rounds into range") << QByteArray("2147483647.4") << true << 2147483647;
    QTest::newRow("rounds out of range") << QByteArray("2147483647.5") << false << 0;
    QTest::newRow("past the range") << QByteArray("2147483648") << false << 0;
    QTest::newRow("below the range") << QByteArray("-2147483649") << false << 0;
    QTest::newRow("a thousand digits") << QByteArray(1000, '9') << false << 0;
}

void TestPositionFile::readNumber() {
    QFETCH(QByteArray, line);
    QFETCH(bool, usable);
    QFETCH(int, value);
    const auto read = ReadNumber(line.toStdString());
    QCOMPARE(read.has_value(), usable);
    if (usable)
        QCOMPARE(*read, value);
}

void TestPositionFile::writeNumber_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("positive") << 6000 << QByteArray("6000");
    QTest::newRow("negative") << -45 << QByteArray("-45");
    QTest::newRow("zero") << 0 << QByteArray("0");
    QTest::newRow("smallest") << int(-2147483648LL) << QByteArray("-2147483648");
}

void TestPositionFile::writeNumber() {
    QFETCH(int, value);
    QFETCH(QByteArray, text);
    QCOMPARE(QByteArray::fromStdString(WriteNumber(value)), text);
}

void TestPositionFile::readPosition_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::newRow("two lines") << QStringList{"6000", "-45"} << true << 6000 << -45;
    QTest::newRow("further lines ignored")
        << QStringList{"1", "2", "x", "4", "5"} << true << 1 << 2;
    QTest::newRow("one line") << QStringList{"6000"} << false << 0 << 0;
    QTest::newRow("bad second value") << QStringList{"6000", "99999999999"} << false << 0 << 0;
    QTest::newRow("bad first value") << QStringList{"-99999999999", "5"} << false << 0 << 0;
    QTest::newRow("empty lines read 0") << QStringList{"", ""} << true << 0 << 0;
}

void TestPositionFile::readPosition() {
    QFETCH(QStringList, lines);
    QFETCH(bool, usable);
    QFETCH(int, left);
    QFETCH(int, top);
    LineList list;
    for (const QString& line : lines)
        list.push_back(line.toStdString());
    const auto position = ReadPosition(list);
    QCOMPARE(position.has_value(), usable);
    if (usable) {
        QCOMPARE(position->left, left);
        QCOMPARE(position->top, top);
    }
}

void TestPositionFile::writtenFormReadsBack() {
    for (const std::int32_t value : {0, 1, -1, 15, -4095, 6495, 2147483647, int(-2147483648LL)})
        QCOMPARE(ReadNumber(WriteNumber(value)), std::optional<std::int32_t>(value));
    const LineList lines = PositionLines({-30, 45});
    QCOMPARE(lines, (LineList{"-30", "45", ""}));
}

QTEST_APPLESS_MAIN(TestPositionFile)
#include "tst_position_file.moc"
