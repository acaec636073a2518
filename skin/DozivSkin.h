#pragma once

#include "SkinElements.h"
#include "SkinMessages.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>

class QPainter;

// Base of the main window: a frameless top-level window that draws its own background, border,
// caption buttons and module buttons from the element table, and turns clicks on them into
// WM_SKIN_CLICK and then window commands or WM_SKIN_COMMAND for the derived window.
class TSkinForm : public QWidget, public TSkinElements {
    Q_OBJECT
public:
    explicit TSkinForm(QWidget* parent = nullptr);
    ~TSkinForm() override;

    // Loads the background picture from the resources; (x, y, width, height) is its stretching
    // centre for windows larger than the picture. Stores the centre and redraws in any case.
    void SetBackgroundImage(const QString& resName, const QString& resType, int x, int y, int width,
                            int height);
    // Same with a picture already decoded (a null image means none).
    void SetBackgroundQImage(const QImage& image, int x, int y, int width, int height);

    void AddModule(int id, const QString& caption, const QString& resName, const QString& resType) {
        TSkinElements::AddModule(id, caption, resName, resType);
    }
    using TSkinElements::SelectModule;
    using TSkinElements::SetHoverIndex;
    using TSkinElements::SetPressedIndex;

    // Rebuilds both buffers and repaints, when the window is shown and not minimised.
    void RedrawAll();
    // Redraws one element into the front buffer and copies just its rectangle to the screen.
    void RedrawControl(qint32 index) override;

    bool HasBuffers() const { return !FFront.isNull(); }
    const QImage& frontBuffer() const { return FFront; }
    const QImage& backBuffer() const { return FBack; }
    bool IsZoomedBuild() const { return FZoomed; }
    // Element rectangles copied to the screen by RedrawControl since the window was made.
    int screenCopyCount() const { return FScreenCopies; }
    QRect lastScreenCopy() const { return FLastScreenCopy; }
    // Paint events served, and the region of the last one.
    int paintCount() const { return FPaintCount; }
    QRegion lastPaintRegion() const { return FLastPaintRegion; }

    const QFont& boldFont() const { return FBoldFont; }

    // Path and picture helpers (no window state involved).
    static QPainterPath RoundRectPath(qreal x, qreal y, qreal width, qreal height, qreal radius);
    static void DrawNineGrid(QPainter& p, const QImage& image, const TSkinRect& dest,
                             const TSkinRect& source, const TSkinRect& centre);
    static void DrawImagePart(QPainter& p, const QImage& image, int dx, int dy, int dw, int dh,
                              int sx, int sy, int sw, int sh);
    // The window region for a client of w x h, restored (rounded corners) or maximised.
    static QRegion WindowRegion(int w, int h, bool zoomed);

protected:
    // WM_SKIN_COMMAND: wParam the element id, lParam its index. The derived window handles it.
    virtual void ModuleSelected(qint32 wParam, qint32 lParam);

    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void childEvent(QChildEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;

    void CreateDrawingObjects();
    void BuildBuffers();
    void ReleaseBuffers();
    void DrawBackground(QPainter& p);
    void ComposeFront();
    void DrawControl(QPainter& p, qint32 index);
    void DrawCaptionButton(QPainter& p, const TSkinControl& c);
    void DrawModuleButton(QPainter& p, const TSkinControl& c);

    void SkinClick(qint32 id, qint32 index);
    void SysCommand(int code);

    QColor FBackColor;
    QColor FOuterBorderColor;
    QColor FInnerBorderColor;
    QFont FBoldFont;
    QFont FGPFont;
    QColor FWhite;

private:
    void PointerLeft();
    void Press(QMouseEvent* e);
    QImage NewBuffer(int w, int h) const;
    void CopyBackToFront(const QRect& r);

    QImage FBack;
    QImage FFront;
    int FBufWidth = 0;
    int FBufHeight = 0;
    bool FZoomed = false;

    // Moving the window by hand where the system cannot do it.
    bool FDragging = false;
    QPoint FDragOffset;

    int FScreenCopies = 0;
    QRect FLastScreenCopy;
    int FPaintCount = 0;
    QRegion FLastPaintRegion;
};
