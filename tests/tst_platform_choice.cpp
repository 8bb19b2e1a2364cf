#include "platform_choice.h"

#include <QTest>

#include <map>
#include <optional>

class TestPlatformChoice : public QObject {
    Q_OBJECT
private slots:
    void platformChoice_data();
    void platformChoice();
};

void TestPlatformChoice::platformChoice_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("chosen");
    // DISPLAY may be stale, or name an XWayland that is off or gone: Wayland where X fails.
    QTest::newRow("wayland with a DISPLAY: XWayland first, Wayland where it fails")
        << ""
        << "wayland-0"
        << ":0"
        << "xcb;wayland";
    QTest::newRow("wayland without XWayland") << ""
                                              << "wayland-0"
                                              << ""
                                              << "xcb;wayland";
    QTest::newRow("x11 only") << ""
                              << ""
                              << ":0"
                              << "";
    QTest::newRow("user's choice kept") << "wayland"
                                        << "wayland-0"
                                        << ":0"
                                        << "";
}

void TestPlatformChoice::platformChoice() {
    QFETCH(QString, platform);
    QFETCH(QString, wayland);
    QFETCH(QString, display);
    QFETCH(QString, chosen);
    const std::map<std::string, QString> environment{
        {"QT_QPA_PLATFORM", platform}, {"WAYLAND_DISPLAY", wayland}, {"DISPLAY", display}};
    const auto choice =
        PlatformChoice::preferredQpaPlatform([&](const char* name) -> std::optional<std::string> {
            const auto it = environment.find(name);
            if (it == environment.end() || it->second.isEmpty())
                return std::nullopt;
            return it->second.toStdString();
        });
    QCOMPARE(QString::fromStdString(choice.value_or("")), chosen);
}

QTEST_APPLESS_MAIN(TestPlatformChoice)
#include "tst_platform_choice.moc"
