#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t le(const QByteArray& bytes, int at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

} // namespace

class TestAssets : public QObject {
    Q_OBJECT
private slots:
    void bitmapHeader_data();
    void bitmapHeader();
    void bitmapPadding();
    void iconHeader_data();
    void iconHeader();
    void programCarriesTheCommittedFiles();
    void generatorRemakesTheCommittedFiles_data();
    void generatorRemakesTheCommittedFiles();
    void desktopIcons_data();
    void desktopIcons();
    void pictureEdges();

private:
    const QString m_assets = QStringLiteral(ASSETS_DIR);
};

void TestAssets::bitmapHeader_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("size");
    QTest::addColumn<uint>("value");
    QTest::newRow("signature") << 0 << 2 << uint('B' | 'M' << 8);
    QTest::newRow("file size") << 2 << 4 << 243160u;
    QTest::newRow("pixel offset") << 10 << 4 << 54u;
    QTest::newRow("info header size") << 14 << 4 << 40u;
    QTest::newRow("width") << 18 << 4 << 285u;
    QTest::newRow("height, bottom-up") << 22 << 4 << 284u;
    QTest::newRow("planes") << 26 << 2 << 1u;
    QTest::newRow("bits per pixel") << 28 << 2 << 24u;
    QTest::newRow("uncompressed") << 30 << 4 << 0u;
    QTest::newRow("x resolution") << 38 << 4 << 2834u;
    QTest::newRow("y resolution") << 42 << 4 << 2834u;
    QTest::newRow("no colour table") << 46 << 4 << 0u;
}

void TestAssets::bitmapHeader() {
    QFETCH(int, offset);
    QFETCH(int, size);
    QFETCH(uint, value);
    const QByteArray bmp = fileBytes(m_assets + "/face.bmp");
    QCOMPARE(bmp.size(), 243160);
    QCOMPARE(le(bmp, offset, size), value);
}

void TestAssets::bitmapPadding() {
    const QByteArray bmp = fileBytes(m_assets + "/face.bmp");
    for (int row = 0; row < 284; ++row)
        QCOMPARE(bmp.at(54 + row * 856 + 855), '\0');
    QCOMPARE(bmp.right(2), QByteArray(2, '\0'));
}

void TestAssets::iconHeader_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("size");
    QTest::addColumn<uint>("value");
    QTest::newRow("reserved") << 0 << 2 << 0u;
    QTest::newRow("type icon") << 2 << 2 << 1u;
    QTest::newRow("one image") << 4 << 2 << 1u;
    QTest::newRow("width") << 6 << 1 << 48u;
    QTest::newRow("height") << 7 << 1 << 48u;
    QTest::newRow("bits per pixel") << 12 << 2 << 8u;
    QTest::newRow("image bytes") << 14 << 4 << 3752u;
    QTest::newRow("image offset") << 18 << 4 << 22u;
    QTest::newRow("info header size") << 22 << 4 << 40u;
    QTest::newRow("height with mask") << 30 << 4 << 96u;
    QTest::newRow("image bits per pixel") << 36 << 2 << 8u;
}

void TestAssets::iconHeader() {
    QFETCH(int, offset);
    QFETCH(int, size);
    QFETCH(uint, value);
    const QByteArray ico = fileBytes(m_assets + "/icon.ico");
    QCOMPARE(ico.size(), 3774);
    QCOMPARE(le(ico, offset, size), value);
}

void TestAssets::programCarriesTheCommittedFiles() {
    QCOMPARE(fileBytes(":/face.bmp"), fileBytes(m_assets + "/face.bmp"));
    QCOMPARE(fileBytes(":/icon.ico"), fileBytes(m_assets + "/icon.ico"));
    const QImage icon(":/icon.ico");
    QCOMPARE(icon.size(), QSize(48, 48));
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(icon.pixel(24, 24)), 255);
}

void TestAssets::generatorRemakesTheCommittedFiles_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"face.bmp", "icon.ico", "icon-48.png", "icon-128.png", "icon-256.png"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAssets::generatorRemakesTheCommittedFiles() {
    QFETCH(QString, name);
    QTemporaryDir out;
    QCOMPARE(QProcess::execute(QStringLiteral(MAKE_ASSETS), {out.path()}), 0);
    const QByteArray committed = fileBytes(m_assets + "/" + name);
    QVERIFY(!committed.isEmpty());
    QCOMPARE(fileBytes(out.filePath(name)), committed);
}

void TestAssets::desktopIcons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::newRow("48, for the menu") << "icon-48.png" << 48;
    QTest::newRow("128, for software centres") << "icon-128.png" << 128;
    QTest::newRow("256, for menus at a scale factor") << "icon-256.png" << 256;
}

void TestAssets::desktopIcons() {
    QFETCH(QString, name);
    QFETCH(int, size);
    const QImage icon(m_assets + "/" + name);
    QCOMPARE(icon.size(), QSize(size, size));
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(icon.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    if (size != 48) {
        // The wheel's hub in full colour, not the window icon's 256-colour approximation.
        QCOMPARE(icon.pixel(size / 2, size / 2), qRgb(250, 210, 80));
    } else {
        // The window icon's very pixels.
        const QImage window = QImage(":/icon.ico").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32), window);
    }
}

void TestAssets::pictureEdges() {
    const QImage face(m_assets + "/face.bmp");
    QCOMPARE(face.size(), QSize(285, 284));
    const QRgb pink = face.pixel(0, 100);
    QVERIFY(qRed(pink) > 240 && qGreen(pink) < 220 && qBlue(pink) > qGreen(pink));
    QCOMPARE(face.pixel(284, 10), pink);
    QCOMPARE(face.pixel(150, 283), pink);
    QVERIFY(face.pixel(1, 1) != pink);
}

QTEST_GUILESS_MAIN(TestAssets)
#include "tst_assets.moc"
