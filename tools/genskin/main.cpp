// Draws the skin's pictures: the two window backgrounds and the 48 x 48 module icons.
// Deterministic: the same Qt and fonts give the same files.
//
// The background is designed at the main window's size (859 x 587) and then turned into the
// 854 x 605 picture by the inverse of the nine-grid the window applies (fixed margins 255 left,
// 150 top, 539 right, 395 bottom; centre 60 x 60), so that at that size the white panel lies
// exactly around the pages panel.

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>

#include <cmath>
#include <cstdio>

namespace {

constexpr int WinW = 859, WinH = 587; // the main window
constexpr int ImgW = 854, ImgH = 605; // the picture
constexpr int CenterX = 255, CenterY = 150, CenterW = 60, CenterH = 60;

// Window layout the picture serves.
constexpr int CaptionBottom = 40;
constexpr int ModuleBandBottom = 124;
constexpr int StatusTop = WinH - 33;
const QRect PagesPanel(27, 152, 786, 359);

struct Palette {
    QColor frameTop, frameBottom; // caption band
    QColor bandTop, bandBottom;   // module band
    QColor badgeTop, badgeBottom, badgeEdge;
    QColor areaTop, areaMiddle, areaBottom; // the light area around the panel
    QColor statusTop, statusBottom;
};

const Palette Blue{QColor(0x35, 0x46, 0x5a), QColor(0x22, 0x2e, 0x3c), QColor(0x2a, 0x37, 0x47),
                   QColor(0x12, 0x19, 0x22), QColor(0x44, 0xa8, 0xef), QColor(0x1a, 0x6a, 0xbf),
                   QColor(0x0f, 0x4d, 0x8f), QColor(0x2c, 0x8b, 0xc4), QColor(0x8f, 0xc7, 0xe6),
                   QColor(0xf4, 0xf9, 0xfc), QColor(0x25, 0x32, 0x41), QColor(0x14, 0x1b, 0x23)};

const Palette Teal{QColor(0x33, 0x4a, 0x4a), QColor(0x21, 0x30, 0x31), QColor(0x27, 0x3b, 0x3c),
                   QColor(0x11, 0x1b, 0x1c), QColor(0x3c, 0xc4, 0xb0), QColor(0x17, 0x86, 0x78),
                   QColor(0x0d, 0x5e, 0x55), QColor(0x25, 0x9c, 0x8e), QColor(0x93, 0xd5, 0xcb),
                   QColor(0xf3, 0xfa, 0xf9), QColor(0x23, 0x35, 0x35), QColor(0x12, 0x1c, 0x1c)};

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& a, const QColor& b) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QPainterPath Rounded(const QRectF& r, qreal radius) {
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

// Box blur of a premultiplied image, a few passes give a near-Gaussian soft edge.
QImage Blur(const QImage& src, int radius, int passes) {
    QImage img = src.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = img.width(), h = img.height();
    QImage tmp(w, h, img.format());
    auto pass = [&](const QImage& in, QImage& out, bool horizontal) {
        const int len = horizontal ? w : h, lines = horizontal ? h : w;
        for (int line = 0; line < lines; ++line) {
            auto at = [&](const QImage& im, int i) -> QRgb {
                i = std::clamp(i, 0, len - 1);
                return horizontal ? reinterpret_cast<const QRgb*>(im.constScanLine(line))[i]
                                  : reinterpret_cast<const QRgb*>(im.constScanLine(i))[line];
            };
            int sum[4] = {0, 0, 0, 0};
            for (int i = -radius; i <= radius; ++i) {
                const QRgb c = at(in, i);
                sum[0] += qAlpha(c), sum[1] += qRed(c), sum[2] += qGreen(c), sum[3] += qBlue(c);
            }
            const int n = 2 * radius + 1;
            for (int i = 0; i < len; ++i) {
                const QRgb v = qRgba(sum[1] / n, sum[2] / n, sum[3] / n, sum[0] / n);
                if (horizontal)
                    reinterpret_cast<QRgb*>(out.scanLine(line))[i] = v;
                else
                    reinterpret_cast<QRgb*>(out.scanLine(i))[line] = v;
                const QRgb add = at(in, i + radius + 1), sub = at(in, i - radius);
                sum[0] += qAlpha(add) - qAlpha(sub);
                sum[1] += qRed(add) - qRed(sub);
                sum[2] += qGreen(add) - qGreen(sub);
                sum[3] += qBlue(add) - qBlue(sub);
            }
        }
    };
    for (int i = 0; i < passes; ++i) {
        pass(img, tmp, true);
        pass(tmp, img, false);
    }
    return img;
}

QFont TitleFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("AR PL SungtiL GB")});
    f.setPixelSize(15);
    f.setBold(true);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// A small battery with a charge bolt, the badge's emblem.
void DrawBatteryEmblem(QPainter& p, const QRectF& r) {
    p.save();
    p.setPen(QPen(Qt::white, 1.6));
    p.setBrush(Qt::NoBrush);
    const QRectF body(r.left(), r.top() + 1, r.width() - 3, r.height() - 2);
    p.drawRoundedRect(body, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(body.right() + 0.8, r.center().y() - 2.5, 2.2, 5), 0.8, 0.8);
    QPainterPath bolt;
    const qreal cx = body.center().x(), cy = body.center().y();
    bolt.moveTo(cx + 1.5, cy - 5);
    bolt.lineTo(cx - 3.5, cy + 1);
    bolt.lineTo(cx - 0.2, cy + 1);
    bolt.lineTo(cx - 1.5, cy + 5);
    bolt.lineTo(cx + 3.5, cy - 1);
    bolt.lineTo(cx + 0.2, cy - 1);
    bolt.closeSubpath();
    p.drawPath(bolt);
    p.restore();
}

// The background as the window shows it at 859 x 587.
QImage DesignAtWindowSize(const Palette& pal) {
    QImage img(WinW, WinH, QImage::Format_ARGB32_Premultiplied);
    img.fill(pal.frameBottom);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Caption band, with a faint sheen along its top.
    p.fillRect(QRect(0, 0, WinW, CaptionBottom),
               Vertical(0, CaptionBottom, pal.frameTop, pal.frameBottom));
    p.fillRect(QRect(0, 0, WinW, 1), QColor(255, 255, 255, 40));

    // Title badge at the top left.
    {
        const QFont font = TitleFont();
        const QString title = QStringLiteral("Orvan电池管家");
        const QFontMetricsF fm(font, &img);
        const qreal textW = fm.horizontalAdvance(title);
        const QRectF badge(10.5, 7.5, 14 + 20 + 6 + textW + 14, 26);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawPath(Rounded(badge.translated(0, 1.5), 6));
        p.setBrush(Vertical(badge.top(), badge.bottom(), pal.badgeTop, pal.badgeBottom));
        p.setPen(QPen(pal.badgeEdge, 1.0));
        p.drawPath(Rounded(badge, 6));
        // Glass highlight on the upper half.
        p.setPen(Qt::NoPen);
        p.setBrush(Vertical(badge.top(), badge.center().y(), QColor(255, 255, 255, 90),
                            QColor(255, 255, 255, 10)));
        p.drawPath(Rounded(
            QRectF(badge.left() + 1, badge.top() + 1, badge.width() - 2, badge.height() / 2 - 1),
            5));
        DrawBatteryEmblem(p, QRectF(badge.left() + 14, badge.top() + 7, 20, 12));
        p.setFont(font);
        const QRectF textRect(badge.left() + 40, badge.top(), textW + 2, badge.height());
        p.setPen(QColor(0, 0, 0, 90));
        p.drawText(textRect.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, title);
        p.setPen(Qt::white);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, title);
        p.restore();
    }

    // Module band: darker towards its foot, a light line above and a dark line below.
    p.fillRect(QRect(0, CaptionBottom, WinW, ModuleBandBottom - CaptionBottom),
               Vertical(CaptionBottom, ModuleBandBottom, pal.bandTop, pal.bandBottom));
    p.fillRect(QRect(0, CaptionBottom, WinW, 1), QColor(0, 0, 0, 110));
    p.fillRect(QRect(0, CaptionBottom + 1, WinW, 1), QColor(255, 255, 255, 28));
    p.fillRect(QRect(0, ModuleBandBottom - 1, WinW, 1), QColor(0, 0, 0, 140));

    // The light area: blue under the module band, fading to white towards the status strip.
    const QRect area(4, ModuleBandBottom, WinW - 8, StatusTop - ModuleBandBottom);
    {
        QLinearGradient g(0, area.top(), 0, area.bottom());
        g.setColorAt(0, pal.areaTop);
        g.setColorAt(0.45, pal.areaMiddle);
        g.setColorAt(1, pal.areaBottom);
        p.fillRect(area, g);
        // A shade under the band so the band seems to lie on top.
        p.fillRect(QRect(area.left(), area.top(), area.width(), 8),
                   Vertical(area.top(), area.top() + 8, QColor(0, 0, 0, 60), QColor(0, 0, 0, 0)));
    }

    // The white panel behind the pages, 4 px around the pages panel, with a soft shadow.
    const QRectF panel = QRectF(PagesPanel).adjusted(-4, -4, 4, 4);
    {
        QImage shadow(img.size(), QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::transparent);
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.setPen(Qt::NoPen);
        sp.setBrush(QColor(0, 30, 60, 120));
        sp.drawPath(Rounded(panel.translated(0, 3), 7));
        sp.end();
        p.drawImage(0, 0, Blur(shadow, 3, 3));
    }
    p.setPen(QPen(QColor(0, 0, 0, 40), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(Rounded(panel.adjusted(0.5, 0.5, -0.5, -0.5), 6));

    // Status strip.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, StatusTop, WinW, WinH - StatusTop),
               Vertical(StatusTop, WinH, pal.statusTop, pal.statusBottom));
    p.fillRect(QRect(0, StatusTop, WinW, 1), QColor(0, 0, 0, 120));
    p.fillRect(QRect(0, StatusTop + 1, WinW, 1), QColor(255, 255, 255, 30));
    p.end();
    return img;
}

// Inverse of the window's nine-grid at 859 x 587: the picture such that the window shows the
// design again.
QImage ToPicture(const QImage& design) {
    const int rightMargin = ImgW - (CenterX + CenterW);  // 539
    const int bottomMargin = ImgH - (CenterY + CenterH); // 395
    const int midW = WinW - CenterX - rightMargin;       // 65
    const int midH = WinH - CenterY - bottomMargin;      // 42
    const int srcX[4] = {0, CenterX, CenterX + midW, WinW};
    const int dstX[4] = {0, CenterX, CenterX + CenterW, ImgW};
    const int srcY[4] = {0, CenterY, CenterY + midH, WinH};
    const int dstY[4] = {0, CenterY, CenterY + CenterH, ImgH};
    QImage out(ImgW, ImgH, QImage::Format_RGB32);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawImage(
                QRectF(dstX[col], dstY[row], dstX[col + 1] - dstX[col], dstY[row + 1] - dstY[row]),
                design,
                QRectF(srcX[col], srcY[row], srcX[col + 1] - srcX[col], srcY[row + 1] - srcY[row]));
    p.end();
    return out;
}

// ---- icons ----------------------------------------------------------------------------------

QImage NewIcon() {
    QImage img(48, 48, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

// White shape over a faint shadow, so it reads on the dark band and on light ground alike.
QImage FinishIcon(const QPainterPath& shape, qreal strokeWidth = 0) {
    QPainterPath filled = shape;
    if (strokeWidth > 0) {
        QPainterPathStroker s;
        s.setWidth(strokeWidth);
        s.setCapStyle(Qt::RoundCap);
        s.setJoinStyle(Qt::RoundJoin);
        filled = s.createStroke(shape);
    }
    QImage shadow = NewIcon();
    {
        QPainter p(&shadow);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(filled.translated(0, 1.2), QColor(0, 0, 0, 90));
    }
    QImage img = Blur(shadow, 1, 2).convertToFormat(QImage::Format_ARGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(filled, Qt::white);
    p.end();
    return img;
}

QImage HomeIcon() {
    QPainterPath roof;
    roof.moveTo(24, 7);
    roof.lineTo(43, 24);
    roof.lineTo(38.5, 24);
    roof.lineTo(24, 11.5);
    roof.lineTo(9.5, 24);
    roof.lineTo(5, 24);
    roof.closeSubpath();
    QPainterPath body;
    body.moveTo(11, 23);
    body.lineTo(24, 12.5);
    body.lineTo(37, 23);
    body.lineTo(37, 41);
    body.lineTo(11, 41);
    body.closeSubpath();
    QPainterPath door;
    door.addRoundedRect(QRectF(20, 28, 8, 13), 1.5, 1.5);
    QPainterPath chimney;
    chimney.addRect(QRectF(32, 9, 4, 9));
    QPainterPath house = roof.united(body).united(chimney).subtracted(door);
    return FinishIcon(house);
}

QImage ProtecIcon() {
    QPainterPath box;
    box.addRoundedRect(QRectF(7, 7, 34, 34), 8, 8);
    QPainterPath inner;
    inner.addRoundedRect(QRectF(10.5, 10.5, 27, 27), 5, 5);
    QPainterPath arrow;
    arrow.moveTo(24, 13);
    arrow.lineTo(34, 24);
    arrow.lineTo(28, 24);
    arrow.lineTo(28, 34);
    arrow.lineTo(20, 34);
    arrow.lineTo(20, 24);
    arrow.lineTo(14, 24);
    arrow.closeSubpath();
    return FinishIcon(box.subtracted(inner).united(arrow));
}

QPainterPath Ring(QPointF c, qreal outer, qreal inner) {
    QPainterPath a, b;
    a.addEllipse(c, outer, outer);
    b.addEllipse(c, inner, inner);
    return a.subtracted(b);
}

QImage ClockIcon() {
    QPainterPath p = Ring({24, 24}, 18, 14.5);
    QPainterPath hands;
    hands.moveTo(24, 13);
    hands.lineTo(24, 24);
    hands.lineTo(31, 28);
    QPainterPathStroker s;
    s.setWidth(3.2);
    s.setCapStyle(Qt::RoundCap);
    s.setJoinStyle(Qt::RoundJoin);
    return FinishIcon(p.united(s.createStroke(hands)));
}

QImage HistoryIcon() {
    // An open ring with an arrow head: time running back.
    QPainterPath arc;
    arc.arcMoveTo(QRectF(7, 7, 34, 34), 150);
    arc.arcTo(QRectF(7, 7, 34, 34), 150, -300);
    QPainterPathStroker s;
    s.setWidth(3.4);
    s.setCapStyle(Qt::RoundCap);
    QPainterPath shape = s.createStroke(arc);
    QPainterPath head;
    const QPointF tip = arc.pointAtPercent(0);
    head.moveTo(tip + QPointF(-7, -2));
    head.lineTo(tip + QPointF(4, -4));
    head.lineTo(tip + QPointF(1, 7));
    head.closeSubpath();
    QPainterPath hands;
    hands.moveTo(24, 15);
    hands.lineTo(24, 24);
    hands.lineTo(30, 29);
    QPainterPathStroker hs;
    hs.setWidth(3.2);
    hs.setCapStyle(Qt::RoundCap);
    hs.setJoinStyle(Qt::RoundJoin);
    return FinishIcon(shape.united(head).united(hs.createStroke(hands)));
}

QImage SearchIcon() {
    QPainterPath p = Ring({21, 21}, 13, 9.5);
    QPainterPath handle;
    handle.moveTo(30.5, 30.5);
    handle.lineTo(40, 40);
    QPainterPathStroker s;
    s.setWidth(6);
    s.setCapStyle(Qt::RoundCap);
    return FinishIcon(p.united(s.createStroke(handle)));
}

QImage ToolsIcon() {
    // An open-ended wrench lying on the diagonal.
    QPainterPath head;
    head.addEllipse(QPointF(15, 15), 10, 10);
    QPainterPath jaw;
    jaw.addRect(QRectF(-3.5, -12, 7, 12));
    QTransform t;
    t.translate(15, 15);
    t.rotate(-45);
    QPainterPath mouth = t.map(jaw);
    QPainterPath hole;
    hole.addEllipse(QPointF(15, 15), 3.5, 3.5);
    QPainterPath shaft;
    shaft.moveTo(19, 19);
    shaft.lineTo(38, 38);
    QPainterPathStroker s;
    s.setWidth(7);
    s.setCapStyle(Qt::RoundCap);
    QPainterPath wrench = head.united(s.createStroke(shaft)).subtracted(mouth).subtracted(hole);
    return FinishIcon(wrench);
}

bool Save(const QImage& img, const QString& dir, const QString& name, const char* format,
          int quality) {
    const QString path = dir + QLatin1Char('/') + name;
    if (!img.save(path, format, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), img.width(), img.height());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = true;
    ok &= Save(ToPicture(DesignAtWindowSize(Blue)), dir, "bkimage2.jpg", "JPEG", 92);
    ok &= Save(ToPicture(DesignAtWindowSize(Teal)), dir, "bkimage1.jpg", "JPEG", 92);
    ok &= Save(HomeIcon(), dir, "module_home.png", "PNG", -1);
    ok &= Save(ProtecIcon(), dir, "module_protec.png", "PNG", -1);
    ok &= Save(ClockIcon(), dir, "module_clock.png", "PNG", -1);
    ok &= Save(HistoryIcon(), dir, "module_history.png", "PNG", -1);
    ok &= Save(SearchIcon(), dir, "module_search.png", "PNG", -1);
    ok &= Save(ToolsIcon(), dir, "module_tools.png", "PNG", -1);
    return ok ? 0 : 1;
}
