// What Windows reads from KORUVA!.exe itself: the icon of the window and of Explorer, and the
// version record of the file's properties, through the same calls Explorer makes.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTest>

#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::wstring nativePath(const char* path) {
    return QDir::toNativeSeparators(QString::fromUtf8(path)).toStdWString();
}

unsigned word(const QByteArray& bytes, qsizetype at) {
    return std::uint8_t(bytes[at]) | unsigned(std::uint8_t(bytes[at + 1])) << 8;
}

unsigned dword(const QByteArray& bytes, qsizetype at) {
    return word(bytes, at) | word(bytes, at + 2) << 16;
}

QByteArray resource(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    return QByteArray(static_cast<const char*>(LockResource(loaded)),
                      qsizetype(SizeofResource(module, found)));
}

// A resource's name: a number or a text, the text kept beyond the enumeration that gave it.
struct ResourceName {
    std::wstring text;
    ULONG_PTR number = 0;
    const wchar_t* get() const { return number ? MAKEINTRESOURCEW(number) : text.c_str(); }
};

BOOL CALLBACK firstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    auto* out = reinterpret_cast<ResourceName*>(found);
    if (IS_INTRESOURCE(name))
        out->number = reinterpret_cast<ULONG_PTR>(name);
    else
        out->text = name;
    return FALSE;
}

} // namespace

class TestWindowsResources : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void iconIsTheCommittedOne();
    void versionStrings_data();
    void versionStrings();
    void versionNumbersAndTranslation();

private:
    HMODULE m_exe = nullptr;
    QByteArray m_version;
};

void TestWindowsResources::initTestCase() {
    const std::wstring exe = nativePath(KORUVA_EXE);
    m_exe = LoadLibraryExW(exe.c_str(), nullptr,
                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    QVERIFY2(m_exe, KORUVA_EXE);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    QVERIFY2(size > 0, "no version record");
    m_version.resize(size);
    QVERIFY(GetFileVersionInfoW(exe.c_str(), 0, size, m_version.data()));
}

void TestWindowsResources::cleanupTestCase() {
    if (m_exe)
        FreeLibrary(m_exe);
}

void TestWindowsResources::iconIsTheCommittedOne() {
    ResourceName group;
    EnumResourceNamesW(m_exe, RT_GROUP_ICON, firstName, reinterpret_cast<LONG_PTR>(&group));
    const QByteArray dir = resource(m_exe, group.get(), RT_GROUP_ICON);
    QVERIFY2(dir.size() >= 6 + 14, "no icon group");
    QCOMPARE(word(dir, 2), 1u); // an icon, not a cursor
    QCOMPARE(word(dir, 4), 1u); // one image
    // GRPICONDIRENTRY: width, height, colour count, reserved, planes, bits, bytes, id.
    QCOMPARE(int(std::uint8_t(dir[6])), 48);
    QCOMPARE(int(std::uint8_t(dir[7])), 48);
    QCOMPARE(word(dir, 12), 8u); // 256 colours
    const QByteArray image = resource(m_exe, MAKEINTRESOURCEW(word(dir, 18)), RT_ICON);

    QFile file(QStringLiteral(ICON_FILE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray ico = file.readAll();
    QCOMPARE(qsizetype(dword(ico, 6 + 8)), image.size());
    QVERIFY(ico.mid(dword(ico, 6 + 12)) == image);
}

void TestWindowsResources::versionStrings_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("FileDescription") << "FileDescription"
                                     << "PC用デスクトップ時計";
    QTest::newRow("ProductName") << "ProductName"
                                 << "Velomire -KORUVA!-";
    QTest::newRow("FileVersion") << "FileVersion"
                                 << "1.00";
    QTest::newRow("ProductVersion") << "ProductVersion"
                                    << "1.00";
    QTest::newRow("InternalName") << "InternalName"
                                  << "KORUVA!";
    QTest::newRow("OriginalFilename") << "OriginalFilename"
                                      << "KORUVA!.exe";
}

void TestWindowsResources::versionStrings() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    const std::wstring query = L"\\StringFileInfo\\041104B0\\" + key.toStdWString();
    void* text = nullptr;
    UINT length = 0;
    QVERIFY(VerQueryValueW(m_version.constData(), query.c_str(), &text, &length));
    QCOMPARE(QString::fromWCharArray(static_cast<const wchar_t*>(text)), value);
}

void TestWindowsResources::versionNumbersAndTranslation() {
    void* data = nullptr;
    UINT length = 0;
    QVERIFY(VerQueryValueW(m_version.constData(), L"\\", &data, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
    QCOMPARE(fixed->dwSignature, DWORD(0xFEEF04BD));
    QCOMPARE(fixed->dwFileVersionMS, DWORD(0x00010000));
    QCOMPARE(fixed->dwFileVersionLS, DWORD(0));
    QCOMPARE(fixed->dwFileType, DWORD(VFT_APP));
    QVERIFY(VerQueryValueW(m_version.constData(), L"\\VarFileInfo\\Translation", &data, &length));
    QCOMPARE(length, UINT(4));
    QCOMPARE(static_cast<const WORD*>(data)[0], WORD(0x0411)); // Japanese
    QCOMPARE(static_cast<const WORD*>(data)[1], WORD(1200));   // UTF-16
    // The one string block: no other language's strings in the record.
    QVERIFY(!VerQueryValueW(m_version.constData(), L"\\StringFileInfo\\040904B0\\ProductName",
                            &data, &length));
}

QTEST_APPLESS_MAIN(TestWindowsResources)
#include "tst_windows_resources.moc"
