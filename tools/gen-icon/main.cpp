// gen-icon: draws the application icon (a charging hub with four battery slots and their status
// lamps) into the hicolor sizes a desktop uses, and the same picture as a scalable SVG.
//
//   cmake -S . -B build -DHIDIAP_BUILD_ICON_GENERATOR=ON && cmake --build build --target gen-icon
//   ./build/tools/gen-icon/gen-icon packaging/icons [sheet.png]
//
// The optional sheet shows every size side by side, the small ones magnified pixel for pixel,
// on light and dark backgrounds, for review.
//
// Geometry is snapped to whole pixels per size so the small icons stay crisp rather than being
// a blurred copy of the large one; the smallest sizes drop the battery outlines for solid bars.
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRectF>
#include <QTextStream>

#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::array<int, 7> SIZES{16, 24, 32, 48, 64, 128, 256};

enum class Slot { Full, Charging, Low, Empty };
// Left to right: a full battery, one charging, one nearly flat, an empty slot.
constexpr std::array<Slot, 4> SLOTS{Slot::Full, Slot::Charging, Slot::Low, Slot::Empty};

const QColor BODY_TOP(0x45, 0x5f, 0x78);
const QColor BODY_BOTTOM(0x26, 0x36, 0x45);
const QColor BODY_SMALL(0x5a, 0x75, 0x90); // flat and lighter, so 1 px gaps between slots show
const QColor BODY_EDGE(0x16, 0x20, 0x2a);
const QColor WELL(0x15, 0x1e, 0x27);
const QColor OUTLINE(0xd5, 0xdf, 0xe8);
const QColor GREEN(0x4c, 0xd9, 0x64);
const QColor AMBER(0xff, 0xb3, 0x2e);
const QColor RED(0xff, 0x5a, 0x4f);
const QColor LAMP_OFF(0x4a, 0x58, 0x66);

double level(Slot s) {
    switch (s) {
    case Slot::Full:
        return 1.0;
    case Slot::Charging:
        return 0.6;
    case Slot::Low:
        return 0.25;
    case Slot::Empty:
        return 0.0;
    }
    return 0;
}

QColor fillColor(Slot s) {
    switch (s) {
    case Slot::Full:
        return GREEN;
    case Slot::Charging:
        return GREEN;
    case Slot::Low:
        return AMBER;
    case Slot::Empty:
        return WELL;
    }
    return WELL;
}

QColor lampColor(Slot s) {
    switch (s) {
    case Slot::Full:
        return GREEN;
    case Slot::Charging:
        return AMBER;
    case Slot::Low:
        return RED;
    case Slot::Empty:
        return LAMP_OFF;
    }
    return LAMP_OFF;
}

int px(double v) {
    return static_cast<int>(std::lround(v));
}

// Whole-pixel layout of one size.
struct Layout {
    int size = 0;
    QRect body;
    int radius = 0;
    std::array<QRect, 4> slot;  // battery cell, cap excluded
    std::array<QRect, 4> cap;   // terminal on top of the cell (empty below 32 px)
    std::array<QRectF, 4> lamp; // lamp circle bounds
    int stroke = 0;             // outline width; 0 draws solid bars
};

Layout layout(int s) {
    Layout l;
    l.size = s;
    const int m = std::max(1, px(s * 0.055));
    const int top = std::max(2, px(s * 0.11));
    const int bottom = s - std::max(1, px(s * 0.07));
    l.body = QRect(QPoint(m, top), QPoint(s - m - 1, bottom - 1));
    l.radius = std::max(2, px(s * 0.12));
    l.stroke = s >= 48 ? std::max(1, px(s / 48.0)) : 0;

    const int padX = std::max(1, px(s * 0.085));
    const int gap = std::max(1, px(s * 0.04));
    const int inner = l.body.width() - 2 * padX;
    const int w = (inner - 3 * gap) / 4;
    const int group = 4 * w + 3 * gap;
    int x = l.body.left() + (l.body.width() - group) / 2;
    const int capH = s >= 32 ? std::max(2, px(s * 0.035)) : 0;
    const int cellTop = l.body.top() + std::max(1, px(s * 0.09)) + capH;
    const int cellBottom = l.body.bottom() - std::max(3, px(s * 0.23));
    const double d = std::max(2.0, std::round(s * 0.09));
    const double lampCy = (cellBottom + l.body.bottom()) / 2.0 + 0.5;
    for (int i = 0; i < 4; ++i) {
        l.slot[i] = QRect(QPoint(x, cellTop), QPoint(x + w - 1, cellBottom));
        if (capH) {
            const int cw = std::max(2, px(w * 0.45));
            l.cap[i] = QRect(x + (w - cw) / 2, cellTop - capH, cw, capH);
        }
        // Whole pixels below 64 px: a dot straddling pixels reads as grey there.
        const double cx = x + w / 2.0;
        l.lamp[i] = QRectF(cx - d / 2, lampCy - d / 2, d, d);
        if (s < 64)
            l.lamp[i] = QRectF(std::round(cx - d / 2), std::round(lampCy - d / 2), d, d);
        x += w + gap;
    }
    return l;
}

QImage render(int s) {
    const Layout l = layout(s);
    QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // Body, with a hairline edge that keeps it apart from dark panels.
    QLinearGradient bodyGrad(0, l.body.top(), 0, l.body.bottom());
    bodyGrad.setColorAt(0, s >= 32 ? BODY_TOP : BODY_SMALL);
    bodyGrad.setColorAt(1, s >= 32 ? BODY_BOTTOM : BODY_SMALL);
    const QRectF body = QRectF(l.body);
    p.setPen(s >= 32 ? QPen(BODY_EDGE, std::max(1.0, s / 96.0)) : Qt::NoPen);
    p.setBrush(bodyGrad);
    const double inset = s >= 32 ? std::max(1.0, s / 96.0) / 2 : 0;
    p.drawRoundedRect(body.adjusted(inset, inset, -inset, -inset), l.radius, l.radius);
    if (s >= 48) { // a soft sheen along the top
        QLinearGradient sheen(0, body.top(), 0, body.top() + body.height() * 0.35);
        sheen.setColorAt(0, QColor(255, 255, 255, 46));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(sheen);
        p.drawRoundedRect(body.adjusted(inset * 2, inset * 2, -inset * 2, -body.height() * 0.6),
                          l.radius * 0.8, l.radius * 0.8);
    }

    for (int i = 0; i < 4; ++i) {
        const Slot st = SLOTS[i];
        const QRectF cell = QRectF(l.slot[i]);
        if (l.stroke == 0) {
            // Solid bars: the well, then the charge from the bottom.
            p.setPen(Qt::NoPen);
            if (!l.cap[i].isEmpty()) {
                p.setBrush(OUTLINE);
                p.drawRect(QRectF(l.cap[i]));
            }
            p.setBrush(WELL);
            p.drawRect(cell);
            const int h = px(cell.height() * level(st));
            if (h > 0) {
                p.setBrush(fillColor(st));
                p.drawRect(QRectF(cell.left(), cell.bottom() - h, cell.width(), h));
            }
        } else {
            const double sw = l.stroke;
            const double r = std::max(1.0, cell.width() * 0.14);
            p.setPen(Qt::NoPen);
            p.setBrush(OUTLINE);
            p.drawRoundedRect(QRectF(l.cap[i]).adjusted(0, 0, 0, r), r * 0.5, r * 0.5);
            p.setBrush(WELL);
            p.setPen(QPen(OUTLINE, sw));
            p.drawRoundedRect(cell.adjusted(sw / 2, sw / 2, -sw / 2, -sw / 2), r, r);
            const double pad = sw + std::max(1.0, std::round(s / 96.0));
            const QRectF room = cell.adjusted(pad, pad, -pad, -pad);
            const double h = std::round(room.height() * level(st));
            if (h > 0) {
                QLinearGradient g(room.left(), 0, room.right(), 0);
                g.setColorAt(0, fillColor(st).lighter(118));
                g.setColorAt(1, fillColor(st).darker(112));
                p.setPen(Qt::NoPen);
                p.setBrush(g);
                p.drawRoundedRect(QRectF(room.left(), room.bottom() - h, room.width(), h), r * 0.5,
                                  r * 0.5);
            }
        }

        // Status lamp: a dot with a glow when lit, at larger sizes.
        const QRectF lamp = l.lamp[i];
        const QColor c = lampColor(st);
        p.setPen(Qt::NoPen);
        if (s >= 48 && st != Slot::Empty) {
            QRadialGradient glow(lamp.center(), lamp.width() * 1.1);
            QColor a = c;
            a.setAlpha(90);
            glow.setColorAt(0, a);
            a.setAlpha(0);
            glow.setColorAt(1, a);
            p.setBrush(glow);
            p.drawEllipse(lamp.center(), lamp.width() * 1.1, lamp.width() * 1.1);
        }
        if (s >= 48) {
            QRadialGradient g(lamp.center() - QPointF(lamp.width() * 0.18, lamp.height() * 0.18),
                              lamp.width() * 0.6);
            g.setColorAt(0, c.lighter(150));
            g.setColorAt(1, c);
            p.setBrush(g);
            p.drawEllipse(lamp);
        } else {
            p.fillRect(QRect(px(lamp.x()), px(lamp.y()), px(lamp.width()), px(lamp.height())), c);
        }
    }
    p.end();
    return img;
}

QString hex(const QColor& c) {
    return c.name(QColor::HexRgb);
}

// The 256 px picture as SVG, in the same geometry.
QString svg() {
    const int s = 256;
    const Layout l = layout(s);
    QString out;
    QTextStream t(&out);
    t << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 "
         "256\">\n"
      << "  <defs>\n"
      << "    <linearGradient id=\"body\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << hex(BODY_TOP) << "\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"" << hex(BODY_BOTTOM) << "\"/>\n"
      << "    </linearGradient>\n"
      << "    <linearGradient id=\"sheen\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
      << "      <stop offset=\"0\" stop-color=\"#ffffff\" stop-opacity=\"0.18\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"#ffffff\" stop-opacity=\"0\"/>\n"
      << "    </linearGradient>\n"
      << "  </defs>\n";
    const QRectF body = QRectF(l.body);
    const double bw = s / 96.0;
    t << "  <rect x=\"" << body.x() + bw / 2 << "\" y=\"" << body.y() + bw / 2 << "\" width=\""
      << body.width() - bw << "\" height=\"" << body.height() - bw << "\" rx=\"" << l.radius
      << "\" fill=\"url(#body)\" stroke=\"" << hex(BODY_EDGE) << "\" stroke-width=\"" << bw
      << "\"/>\n";
    t << "  <rect x=\"" << body.x() + bw << "\" y=\"" << body.y() + bw << "\" width=\""
      << body.width() - 2 * bw << "\" height=\"" << body.height() * 0.4 - bw << "\" rx=\""
      << l.radius * 0.8 << "\" fill=\"url(#sheen)\"/>\n";
    for (int i = 0; i < 4; ++i) {
        const Slot st = SLOTS[i];
        const QRectF cell = QRectF(l.slot[i]);
        const double sw = l.stroke;
        const double r = std::max(1.0, cell.width() * 0.14);
        const QRectF cap = QRectF(l.cap[i]).adjusted(0, 0, 0, r);
        t << "  <rect x=\"" << cap.x() << "\" y=\"" << cap.y() << "\" width=\"" << cap.width()
          << "\" height=\"" << cap.height() << "\" rx=\"" << r * 0.5 << "\" fill=\"" << hex(OUTLINE)
          << "\"/>\n";
        t << "  <rect x=\"" << cell.x() + sw / 2 << "\" y=\"" << cell.y() + sw / 2 << "\" width=\""
          << cell.width() - sw << "\" height=\"" << cell.height() - sw << "\" rx=\"" << r
          << "\" fill=\"" << hex(WELL) << "\" stroke=\"" << hex(OUTLINE) << "\" stroke-width=\""
          << sw << "\"/>\n";
        const double pad = sw + std::round(s / 96.0);
        const QRectF room = cell.adjusted(pad, pad, -pad, -pad);
        const double h = std::round(room.height() * level(st));
        if (h > 0)
            t << "  <rect x=\"" << room.x() << "\" y=\"" << room.bottom() - h << "\" width=\""
              << room.width() << "\" height=\"" << h << "\" rx=\"" << r * 0.5 << "\" fill=\""
              << hex(fillColor(st)) << "\"/>\n";
        const QRectF lamp = l.lamp[i];
        if (st != Slot::Empty)
            t << "  <circle cx=\"" << lamp.center().x() << "\" cy=\"" << lamp.center().y()
              << "\" r=\"" << lamp.width() * 1.0 << "\" fill=\"" << hex(lampColor(st))
              << "\" fill-opacity=\"0.22\"/>\n";
        t << "  <circle cx=\"" << lamp.center().x() << "\" cy=\"" << lamp.center().y() << "\" r=\""
          << lamp.width() / 2 << "\" fill=\"" << hex(lampColor(st)) << "\"/>\n";
    }
    t << "</svg>\n";
    return out;
}

QImage sheet() {
    const int cell = 264;
    QImage out(cell * int(SIZES.size()), cell * 2, QImage::Format_RGB32);
    QPainter p(&out);
    p.fillRect(0, 0, out.width(), cell, QColor(0xee, 0xee, 0xee));
    p.fillRect(0, cell, out.width(), cell, QColor(0x2a, 0x2a, 0x2e));
    for (std::size_t i = 0; i < SIZES.size(); ++i) {
        const int s = SIZES[i];
        const int scale = std::max(1, 256 / s);
        const QImage img =
            render(s).scaled(s * scale, s * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        for (int row = 0; row < 2; ++row)
            p.drawImage(int(i) * cell + (cell - img.width()) / 2,
                        row * cell + (cell - img.height()) / 2, img);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: gen-icon <icons folder> [review sheet.png]\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int s : SIZES) {
        const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(s);
        if (!root.mkpath(dir)) {
            std::fprintf(stderr, "gen-icon: cannot create %s\n", qPrintable(root.filePath(dir)));
            return 1;
        }
        const QString file = root.filePath(dir + "/hidiap.png");
        if (!render(s).save(file, "PNG")) {
            std::fprintf(stderr, "gen-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    root.mkpath("hicolor/scalable/apps");
    QFile f(root.filePath("hicolor/scalable/apps/hidiap.svg"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "gen-icon: cannot write %s\n", qPrintable(f.fileName()));
        return 1;
    }
    f.write(svg().toUtf8());
    if (argc == 3 && !sheet().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "gen-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
