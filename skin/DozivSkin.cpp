#include "DozivSkin.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <QWindow>

#include <algorithm>

namespace {

QColor Argb(quint32 argb) {
    return QColor::fromRgba(argb);
}

QLinearGradient VerticalGradient(qreal top, qreal bottom, quint32 from, quint32 to) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, Argb(from));
    g.setColorAt(1, Argb(to));
    return g;
}

// Glyph shapes of the caption buttons, each a set of filled rectangles (winding fill, so
// overlaps stay filled).
QPainterPath MinimizeGlyph(int tx, int ty) {
    QPainterPath p;
    p.addRect(tx, ty + 7, 11, 2);
    return p;
}

QPainterPath MaximizeGlyph(int tx, qreal gy) {
    const int t2 = static_cast<int>(gy + 1);
    QPainterPath p;
    p.addRect(tx, t2, 11, 2);
    p.addRect(tx, t2 + 7, 11, 1);
    p.addRect(tx, t2, 1, 8);
    p.addRect(tx + 10, t2, 1, 8);
    return p;
}

QPainterPath RestoreGlyph(qreal gx, qreal gy) {
    const qreal ox = gx - 1;
    const qreal oy = gy + 1;
    QPainterPath p;
    p.addRect(QRectF(ox + 2, oy, 10, 1));
    p.addRect(QRectF(ox + 2, oy, 1, 2));
    p.addRect(QRectF(ox + 11, oy, 1, 6));
    p.addRect(QRectF(ox + 9, oy + 6, 3, 1));
    p.addRect(QRectF(ox, oy + 2, 10, 2));
    p.addRect(QRectF(ox, oy + 2, 1, 6));
    p.addRect(QRectF(ox + 9, oy + 2, 1, 6));
    p.addRect(QRectF(ox, oy + 7, 10, 1));
    return p;
}

QPainterPath CloseGlyph(int tx, int ty) {
    QPainterPath p;
    for (int i = 0; i <= 8; ++i) {
        p.addRect(tx + i, ty + i, 3, 1);
        p.addRect(tx + 8 - i, ty + i, 3, 1);
    }
    return p;
}

QPainterPath AppGlyph(int tx, int ty) {
    QPainterPath p;
    p.addRect(tx, ty, 11, 2);
    p.addRect(tx, ty + 8, 11, 1);
    p.addRect(tx, ty, 1, 9);
    p.addRect(tx + 10, ty, 1, 9);
    p.addRect(tx + 5, ty + 6, 1, 1);
    p.addRect(tx + 4, ty + 5, 3, 1);
    p.addRect(tx + 3, ty + 4, 5, 1);
    return p;
}

QPainterPath GlyphPath(qint32 glyph, const TSkinControl& c) {
    const qreal gx = (c.Width - 11) / 2.0 + c.Left - 1;
    const qreal gy = (c.Height - 9) / 2.0 + c.Top - 1;
    const int tx = static_cast<int>(gx);
    const int ty = static_cast<int>(gy);
    QPainterPath p;
    switch (glyph) {
    case SKIN_ID_MINIMIZE:
        p = MinimizeGlyph(tx, ty);
        break;
    case SKIN_ID_MAXIMIZE:
        p = MaximizeGlyph(tx, gy);
        break;
    case SKIN_ID_RESTORE:
        p = RestoreGlyph(gx, gy);
        break;
    case SKIN_ID_CLOSE:
        p = CloseGlyph(tx, ty);
        break;
    case SKIN_ID_APP:
        p = AppGlyph(tx, ty);
        break;
    default:
        break;
    }
    p.setFillRule(Qt::WindingFill);
    return p;
}

} // namespace

TSkinForm::TSkinForm(QWidget* parent) : QWidget(parent) {
    // The skin draws the whole window itself: no system frame, no caption, no resize edges.
    setWindowFlags(windowFlags() | Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    CreateDrawingObjects();
    ResetWithCaptionButtons();
}

TSkinForm::~TSkinForm() = default;

void TSkinForm::CreateDrawingObjects() {
    FBackColor = Argb(0xFF3296BE);
    FOuterBorderColor = Argb(0x96000000);
    FInnerBorderColor = Argb(0x96FFFFFF);
    // The heading's face (Arial's metric twin here), 13 px, bold.
    FBoldFont = QFont(QStringLiteral("Liberation Sans"));
    FBoldFont.setPixelSize(13);
    FBoldFont.setBold(true);
    FGPFont = FBoldFont;
    FWhite = Argb(0xFFFFFFFF);
}

// ---- background and stored state ----------------------------------------------------------

void TSkinForm::SetBackgroundImage(const QString& resName, const QString& resType, int x, int y,
                                   int width, int height) {
    FBkCenter = {x, y, width, height};
    if (FHasBkImage) {
        FBkImage = QImage();
        FHasBkImage = false;
    }
    if (std::optional<QImage> image = LoadResourceImage(resName, resType)) {
        FBkImage = *image;
        FHasBkImage = true;
    }
    RedrawAll();
}

void TSkinForm::SetBackgroundQImage(const QImage& image, int x, int y, int width, int height) {
    FBkCenter = {x, y, width, height};
    FBkImage = image;
    FHasBkImage = !image.isNull();
    RedrawAll();
}

// ---- buffers --------------------------------------------------------------------------------

QImage TSkinForm::NewBuffer(int w, int h) const {
    const qreal dpr = devicePixelRatioF();
    QImage img(qMax(1, qCeil(w * dpr)), qMax(1, qCeil(h * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    return img;
}

void TSkinForm::BuildBuffers() {
    FZoomed = isMaximized();
    FBufWidth = width();
    FBufHeight = height();
    FBack = NewBuffer(FBufWidth, FBufHeight);
    FFront = NewBuffer(FBufWidth, FBufHeight);
    {
        QPainter p(&FBack);
        DrawBackground(p);
    }
    ComposeFront();
    const QRegion region = WindowRegion(FBufWidth, FBufHeight, FZoomed);
    if (mask() != region)
        setMask(region);
}

void TSkinForm::ReleaseBuffers() {
    FBack = QImage();
    FFront = QImage();
    FBufWidth = FBufHeight = 0;
}

void TSkinForm::RedrawAll() {
    if (!isVisible() || isMinimized())
        return;
    ReleaseBuffers();
    BuildBuffers();
    update();
}

void TSkinForm::CopyBackToFront(const QRect& r) {
    QPainter p(&FFront);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const qreal dpr = FBack.devicePixelRatio();
    p.drawImage(QRectF(r), FBack,
                QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
}

void TSkinForm::RedrawControl(qint32 index) {
    if (!IsValidIndex(index) || !HasBuffers())
        return;
    const TSkinControl& c = FControls[index];
    const QRect r(c.Left, c.Top, c.Width, c.Height);
    CopyBackToFront(r);
    {
        QPainter p(&FFront);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        DrawControl(p, index);
    }
    ++FScreenCopies;
    FLastScreenCopy = r;
    // Straight to the screen, just this rectangle; the rest of the window stays as it is.
    if (isVisible() && !r.isEmpty())
        repaint(r);
}

QRegion TSkinForm::WindowRegion(int w, int h, bool zoomed) {
    QRegion region(0, 0, w, h);
    if (zoomed || w < 4 || h < 4)
        return region;
    // Corners cut as by 4 x 4 corner ellipses: two pixels on the outer row, one on the next.
    for (int cx : {0, w - 1}) {
        for (int cy : {0, h - 1}) {
            const int dx = cx == 0 ? 1 : -1;
            const int dy = cy == 0 ? 1 : -1;
            region -= QRegion(cx, cy, 1, 1);
            region -= QRegion(cx + dx, cy, 1, 1);
            region -= QRegion(cx, cy + dy, 1, 1);
        }
    }
    return region;
}

// ---- drawing --------------------------------------------------------------------------------

QPainterPath TSkinForm::RoundRectPath(qreal x, qreal y, qreal width, qreal height, qreal radius) {
    const qreal d = 2 * radius;
    // Qt counts angles anticlockwise on screen, so a clockwise sweep is negative.
    QPainterPath p;
    p.arcMoveTo(x, y, d, d, -180);
    p.arcTo(x, y, d, d, -180, -90);
    p.arcTo(x + width - d, y, d, d, -270, -90);
    p.arcTo(x + width - d, y + height - d, d, d, 0, -90);
    p.arcTo(x, y + height - d, d, d, -90, -90);
    p.closeSubpath();
    return p;
}

void TSkinForm::DrawImagePart(QPainter& p, const QImage& image, int dx, int dy, int dw, int dh,
                              int sx, int sy, int sw, int sh) {
    // Pieces of no or negative size (a window narrower than the fixed margins) draw nothing.
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return;
    p.drawImage(QRectF(dx, dy, dw, dh), image, QRectF(sx, sy, sw, sh));
}

void TSkinForm::DrawNineGrid(QPainter& p, const QImage& image, const TSkinRect& D,
                             const TSkinRect& S, const TSkinRect& C) {
    const int LW = C.Left - S.Left, TH = C.Top - S.Top;
    const int RW = S.Right - C.Right, BH = S.Bottom - C.Bottom;
    const int CW = C.Right - C.Left, CH = C.Bottom - C.Top;
    const int MW = (D.Right - D.Left) - LW - RW;
    const int MH = (D.Bottom - D.Top) - TH - BH;
    DrawImagePart(p, image, D.Left, D.Top, LW, TH, S.Left, S.Top, LW, TH);
    DrawImagePart(p, image, D.Left + LW, D.Top, MW, TH, C.Left, S.Top, CW, TH);
    DrawImagePart(p, image, D.Right - RW, D.Top, RW, TH, C.Right, S.Top, RW, TH);
    DrawImagePart(p, image, D.Left, D.Top + TH, LW, MH, S.Left, C.Top, LW, CH);
    DrawImagePart(p, image, D.Left + LW, D.Top + TH, MW, MH, C.Left, C.Top, CW, CH);
    DrawImagePart(p, image, D.Right - RW, D.Top + TH, RW, MH, C.Right, C.Top, RW, CH);
    DrawImagePart(p, image, D.Left, D.Bottom - BH, LW, BH, S.Left, C.Bottom, LW, BH);
    DrawImagePart(p, image, D.Left + LW, D.Bottom - BH, MW, BH, C.Left, C.Bottom, CW, BH);
    DrawImagePart(p, image, D.Right - RW, D.Bottom - BH, RW, BH, C.Right, C.Bottom, RW, BH);
}

void TSkinForm::DrawBackground(QPainter& p) {
    const int W = FBufWidth, H = FBufHeight;

    p.save(); // fill and picture
    p.fillRect(QRect(0, 0, W, H), FBackColor);
    const int iw = FBkImage.width(), ih = FBkImage.height();
    if (FHasBkImage && iw > 0 && ih > 0) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (W <= iw && H <= ih) {
            // A window no larger than the picture shows its top-right part as it is.
            p.drawImage(QRectF(0, 0, W, H), FBkImage, QRectF(iw - W, 0, W, H));
        } else if (FBkCenter.Width > 0 && FBkCenter.Height > 0) {
            DrawNineGrid(p, FBkImage, {0, 0, W, H}, {0, 0, iw, ih},
                         {FBkCenter.X, FBkCenter.Y, FBkCenter.X + FBkCenter.Width,
                          FBkCenter.Y + FBkCenter.Height});
        }
    }
    p.restore();

    p.save(); // border
    p.setBrush(Qt::NoBrush);
    const QPen outer(FOuterBorderColor, 1.0);
    const QPen inner(FInnerBorderColor, 1.0);
    if (FZoomed) {
        p.setPen(outer);
        p.drawRect(0, 0, W - 1, H - 1);
        p.setPen(inner);
        p.drawRect(1, 1, W - 3, H - 3);
    } else {
        p.strokePath(RoundRectPath(0, 0, W - 1, H - 1, 3), outer);
        p.strokePath(RoundRectPath(1, 1, W - 3, H - 3, 3), inner);
    }
    p.restore();

    p.save(); // caption text: dark shadow, then white one pixel up and left
    const QString text = windowTitle().left(259);
    if (!text.isEmpty()) {
        const int L = windowIcon().isNull() ? 5 : 25;
        const QRect r(L, 15, W - 100 - L, 16);
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        p.setFont(FBoldFont);
        p.setClipRect(r);
        p.setPen(QColor(51, 51, 51));
        p.drawText(r, flags, text);
        const QRect w = r.translated(-1, -1);
        p.setClipRect(w);
        p.setPen(Qt::white);
        p.drawText(w, flags, text);
    }
    p.restore();
}

void TSkinForm::ComposeFront() {
    FFront = FBack.copy();
    FFront.setDevicePixelRatio(FBack.devicePixelRatio());
    QPainter p(&FFront);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    LayoutCaptionButtons(FBufWidth);
    for (qint32 i = 0; i < FControlCount; ++i)
        DrawControl(p, i);
}

void TSkinForm::DrawControl(QPainter& p, qint32 index) {
    const TSkinControl c = FControls[index];
    if (c.Kind == SKIN_KIND_CAPTION)
        DrawCaptionButton(p, c);
    else if (c.Kind == SKIN_KIND_MODULE)
        DrawModuleButton(p, c);
}

void TSkinForm::DrawCaptionButton(QPainter& p, const TSkinControl& c) {
    const int x = c.Left, y = c.Top, w = c.Width, h = c.Height;
    const bool close = c.Id == SKIN_ID_CLOSE;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);

    if (c.Pressed || c.Hover) { // state background, drawn twice one pixel apart
        const int fw = close ? w - 1 : w - 3;
        quint32 top, bottom;
        if (close) {
            top = c.Pressed ? 0xB4800000 : 0xB4FF0000;
            bottom = 0x00000000;
        } else {
            top = c.Pressed ? 0x5A000000 : 0x3CFFFFFF;
            bottom = c.Pressed ? 0x00000000 : 0x00FFFFFF;
        }
        const QLinearGradient g = VerticalGradient(y, y + h, top, bottom);
        p.fillRect(QRect(x + 1, y, fw, h), g);
        p.fillRect(QRect(x, y, fw, h), g);
    }

    { // glyph: white, with a soft dark edge from two widenings
        const qint32 glyph = (c.Id == SKIN_ID_MAXIMIZE && FZoomed) ? SKIN_ID_RESTORE : c.Id;
        const QPainterPath shape = GlyphPath(glyph, c);
        if (!shape.isEmpty()) {
            const QPen edge(Argb(0x32000000), 1.0);
            QPainterPathStroker stroker(edge);
            stroker.setCurveThreshold(0.25);
            const QPainterPath once = stroker.createStroke(shape);
            p.strokePath(once, edge);
            p.strokePath(stroker.createStroke(once), edge);
            p.fillPath(shape, FWhite);
        }
    }

    if (!close) { // separator: light column at the right edge, dark one beside it
        p.fillRect(QRect(x + w - 1, y, 1, h), VerticalGradient(y, y + h, 0x78FFFFFF, 0x00FFFFFF));
        p.fillRect(QRect(x + w - 2, y, 1, h), VerticalGradient(y, y + h, 0x5A000000, 0x00000000));
    }
    p.restore();
}

void TSkinForm::DrawModuleButton(QPainter& p, const TSkinControl& c) {
    const qreal x = c.Left, y = c.Top, w = c.Width, h = c.Height;

    if (c.Selected || c.Pressed || c.Hover) { // frame
        const bool strong = c.Selected || c.Pressed;
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        const QPainterPath inner = RoundRectPath(x + 2, y + 2, w - 6, h - 6, 5);
        p.strokePath(RoundRectPath(x, y, w - 2, h - 2, 5),
                     QPen(Argb(strong ? 0x14000000 : 0x0F000000), 1.0));
        p.strokePath(RoundRectPath(x + 1, y + 1, w - 4, h - 4, 5),
                     QPen(Argb(strong ? 0x3C000000 : 0x28000000), 1.0));
        p.fillPath(inner, Argb(strong ? 0x28FFFFFF : 0x32FFFFFF));
        p.strokePath(inner, QPen(Argb(strong ? 0x3CFFFFFF : 0x5AFFFFFF), 1.0));
        p.restore();
    }

    if (c.HasImage && !c.Image.isNull()) { // icon, each side limited to 48 on its own
        const qreal dw = std::min(c.Image.width(), 48);
        const qreal dh = std::min(c.Image.height(), 48);
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(x + (w - dw) / 2, y + (h - dh - 20) / 2, dw, dh), c.Image);
        p.restore();
    }

    if (c.CaptionLen > 0) { // caption: soft shadow, then white one pixel up and left
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        p.save();
        p.setFont(FGPFont);
        const QRectF shadow(x + 1, y + h - 24, w - 1, 18);
        p.setClipRect(shadow);
        p.setPen(Argb(0x3C000000));
        p.drawText(shadow, flags, c.CaptionW);
        const QRectF white(x, y + h - 25, w - 1, 18);
        p.setClipRect(white);
        p.setPen(FWhite);
        p.drawText(white, flags, c.CaptionW);
        p.restore();
    }
}

// ---- window events --------------------------------------------------------------------------

void TSkinForm::paintEvent(QPaintEvent* e) {
    if (!HasBuffers())
        BuildBuffers();
    ++FPaintCount;
    FLastPaintRegion = e->region();
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const qreal dpr = FFront.devicePixelRatio();
    for (const QRect& r : e->region())
        p.drawImage(QRectF(r), FFront,
                    QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
}

void TSkinForm::resizeEvent(QResizeEvent* e) {
    ReleaseBuffers();
    QWidget::resizeEvent(e);
}

void TSkinForm::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    // Border, region and the maximise glyph follow the window state: build again at next paint.
    if (e->type() == QEvent::WindowStateChange) {
        ReleaseBuffers();
        update();
    }
}

void TSkinForm::childEvent(QChildEvent* e) {
    QWidget::childEvent(e);
    // Entering a child control leaves the skin's own surface: watch the children for it.
    if ((e->added() || e->polished()) && e->child()->isWidgetType())
        e->child()->installEventFilter(this);
}

bool TSkinForm::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Enter && watched->parent() == this)
        PointerLeft();
    return QWidget::eventFilter(watched, e);
}

void TSkinForm::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    PointerLeft();
}

void TSkinForm::PointerLeft() {
    SetPressedIndex(-1);
    SetHoverIndex(-1);
}

void TSkinForm::mouseMoveEvent(QMouseEvent* e) {
    QWidget::mouseMoveEvent(e);
    if (FDragging) {
        move(e->globalPosition().toPoint() - FDragOffset);
        return;
    }
    const QPoint pt = e->position().toPoint();
    SetHoverIndex(HitTest(pt.x(), pt.y()));
}

void TSkinForm::Press(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pt = e->position().toPoint();
    const qint32 i = HitTest(pt.x(), pt.y());
    SetPressedIndex(i);
    if (i != -1)
        return;
    // Bare surface: move the window, as a press on a caption would.
    FDragging = false;
    QWindow* win = windowHandle();
    if (win && win->startSystemMove())
        return;
    FDragging = true;
    FDragOffset = e->globalPosition().toPoint() - pos();
}

void TSkinForm::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    Press(e);
}

void TSkinForm::mouseDoubleClickEvent(QMouseEvent* e) {
    // No double clicks here: the second press of a quick pair is an ordinary press.
    Press(e);
}

void TSkinForm::mouseReleaseEvent(QMouseEvent* e) {
    QWidget::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton)
        return;
    if (FDragging) {
        FDragging = false;
        SetPressedIndex(-1);
        return;
    }
    const QPoint pt = e->position().toPoint();
    const qint32 i = HitTest(pt.x(), pt.y());
    SetPressedIndex(-1);
    if (i >= 0 && i < FControlCount) {
        const qint32 id = FControls[i].Id;
        // Let the released look reach the screen before the click acts.
        QCoreApplication::processEvents();
        QCoreApplication::postEvent(this, new TSkinMessage(WM_SKIN_CLICK, id, i));
    }
}

// ---- skin messages --------------------------------------------------------------------------

void TSkinForm::SkinClick(qint32 id, qint32 index) {
    if (index < 0 || index >= FControlCount)
        return;
    if (FControls[index].Kind != SKIN_KIND_CAPTION) {
        QCoreApplication::postEvent(this, new TSkinMessage(WM_SKIN_COMMAND, id, index));
        return;
    }
    if (id == SKIN_ID_MAXIMIZE && isMaximized())
        id = SKIN_ID_RESTORE;
    int code = 0;
    switch (id) {
    case SKIN_ID_APP:
        QCoreApplication::postEvent(this, new TSkinMessage(WM_SKIN_COMMAND, id, index));
        return;
    case SKIN_ID_CLOSE:
        code = SC_CLOSE;
        break;
    case SKIN_ID_RESTORE:
        code = SC_RESTORE;
        break;
    case SKIN_ID_MAXIMIZE:
        code = SC_MAXIMIZE;
        break;
    case SKIN_ID_MINIMIZE:
        code = SC_MINIMIZE;
        break;
    default:
        return;
    }
    QCoreApplication::postEvent(this, new TSkinMessage(WM_SKIN_SYSCOMMAND, code, 0));
}

void TSkinForm::SysCommand(int code) {
    switch (code) {
    case SC_CLOSE:
        close();
        break;
    case SC_RESTORE:
        showNormal();
        break;
    case SC_MAXIMIZE:
        showMaximized();
        break;
    case SC_MINIMIZE:
        showMinimized();
        break;
    default:
        break;
    }
}

void TSkinForm::ModuleSelected(qint32, qint32) {}

bool TSkinForm::event(QEvent* e) {
    const int type = static_cast<int>(e->type());
    if (type == WM_SKIN_COMMAND || type == WM_SKIN_CLICK || type == WM_SKIN_SYSCOMMAND) {
        auto* m = static_cast<TSkinMessage*>(e);
        if (type == WM_SKIN_COMMAND)
            ModuleSelected(m->WParam, m->LParam);
        else if (type == WM_SKIN_CLICK)
            SkinClick(m->WParam, m->LParam);
        else
            SysCommand(m->WParam);
        return true;
    }
    return QWidget::event(e);
}
