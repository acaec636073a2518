// hidiap-demo: the updater's main window with the emulated hub in place of the hardware, and a
// control window of its own to plug devices, set the hub's answers and faults, and watch the
// frames.
//
// HIDIAP_DEMO_SCREENSHOT=file.png grabs both windows side by side into the file after
// HIDIAP_DEMO_SCREENSHOT_MS (default 3000) and quits: a look at the demo without a display.
// So that the picture shows frames, the version check is clicked 1.5 s after start; with
// HIDIAP_DEMO_SCREENSHOT_UPDATE=1 the update is clicked too.
#include "ControlWindow.h"
#include "EmulatedHub.h"
#include "HidIap.h"
#include "ResourceLookup.h"
#include "VersionText.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int WINDOW_GAP = 12;

// Beside the main window, to its right, inside the screen when there is room for both.
void placeBeside(QWidget& main, QWidget& control) {
    const QRect frame = main.frameGeometry();
    int x = frame.right() + 1 + WINDOW_GAP;
    int y = frame.top();
    if (const QScreen* screen = main.screen()) {
        const QRect avail = screen->availableGeometry();
        y = std::clamp(y, avail.top(), std::max(avail.top(), avail.bottom() - control.height()));
        if (x + control.frameGeometry().width() > avail.right() + 1)
            x = std::max(x, avail.right() + 1 - control.frameGeometry().width());
    }
    control.move(x, y);
}

bool saveScreenshot(QWidget& main, QWidget& control, const QString& file) {
    const QPixmap a = main.grab();
    const QPixmap b = control.grab();
    QImage out(a.width() + WINDOW_GAP + b.width(), std::max(a.height(), b.height()),
               QImage::Format_RGB32);
    out.fill(QColor(0x30, 0x30, 0x34));
    QPainter p(&out);
    p.drawPixmap(0, 0, a);
    p.drawPixmap(a.width() + WINDOW_GAP, 0, b);
    p.end();
    return out.save(file, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(hidiap::ResourcePath("ICON", "HIDIAP_PNG")));

    emuhub::EmulatedBus bus;
    bus.setTraceLimit(20000); // the control window copies the trace ten times a second
    emuhub::EmulatedHub& hub = bus.addHub("hub1");
    emuhub::EmulatedHub& hub2 = bus.addHub("hub2");
    // Same maker, another product: the scan must pass it by.
    emuhub::EmulatedDecoy& decoy = bus.addDecoy(0xFFF0, 0x0019, "decoy");

    // An update completes only with exactly the built-in image, and then brings its version.
    const std::vector<emuhub::ImageRecord> image = demo::BuiltInImage();
    const quint32 v = hidiap::FIRMWARE_VERSION;
    const emuhub::Version newVersion{
        static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
        static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    for (emuhub::EmulatedHub* h : {&hub, &hub2}) {
        h->setExpectedImage(image);
        h->setNewVersion(newVersion);
    }

    TfrmMain window(bus);
    window.show();
    demo::ControlWindow control(bus, hub, hub2, decoy, image.size(), newVersion);
    control.show();
    QTimer::singleShot(0, &control, [&] { placeBeside(window, control); });

    // The hub is plugged in a second after start-up, as a user would.
    QTimer::singleShot(1000, [&hub] { hub.plug(); });

    const QString shot = qEnvironmentVariable("HIDIAP_DEMO_SCREENSHOT");
    if (!shot.isEmpty()) {
        bool ok = false;
        int ms = qEnvironmentVariableIntValue("HIDIAP_DEMO_SCREENSHOT_MS", &ok);
        if (!ok)
            ms = 3000;
        QTimer::singleShot(1500, &window, [&window] {
            window.btnConnect->click();
            if (qEnvironmentVariableIntValue("HIDIAP_DEMO_SCREENSHOT_UPDATE") == 1)
                QTimer::singleShot(200, &window, [&window] { window.btnUpdate->click(); });
        });
        QTimer::singleShot(ms, &app, [&] {
            control.poll();
            // What a look at the picture would check, so a run without one catches it too.
            QStringList problems;
            if (QApplication::windowIcon().isNull())
                problems << QStringLiteral("no window icon");
            if (control.frameGeometry().intersects(window.frameGeometry()))
                problems << QStringLiteral("the control window overlaps the main window");
            if (control.frameGeometry().left() < window.frameGeometry().right())
                problems << QStringLiteral("the control window is not right of the main window");
            if (!control.traceText().contains(QStringLiteral("plugged")))
                problems << QStringLiteral("the trace does not show the hub's plug-in");
            for (const QString& p : problems)
                std::fprintf(stderr, "hidiap-demo: %s\n", qPrintable(p));
            if (!saveScreenshot(window, control, shot)) {
                std::fprintf(stderr, "hidiap-demo: cannot write %s\n", qPrintable(shot));
                QApplication::exit(1);
                return;
            }
            QApplication::exit(problems.isEmpty() ? 0 : 2);
        });
    }
    return app.exec();
}
