#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// Element table of the skinned window: caption buttons and module buttons, addressed by their
// index in the table. Kept apart from the window so that its rules can be used (and checked)
// without one.

// A rectangle as left, top, right, bottom; right and bottom lie outside.
struct TSkinRect {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;

    bool Contains(qint32 x, qint32 y) const {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
    friend bool operator==(const TSkinRect&, const TSkinRect&) = default;
};

// Element kinds.
constexpr quint8 SKIN_KIND_CAPTION = 1;
constexpr quint8 SKIN_KIND_MODULE = 2;

// Ids of the caption buttons.
constexpr qint32 SKIN_ID_APP = -5;
constexpr qint32 SKIN_ID_CLOSE = -4;
constexpr qint32 SKIN_ID_RESTORE = -3; // never stored: a maximise button acts as it when zoomed
constexpr qint32 SKIN_ID_MAXIMIZE = -2;
constexpr qint32 SKIN_ID_MINIMIZE = -1;

struct TSkinControl {
    quint8 Kind = 0;
    qint32 Id = 0;
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Width = 0;
    qint32 Height = 0;
    TSkinRect BoundsRect;
    QString Caption;
    QString CaptionW;      // what is drawn
    qint32 CaptionLen = 0; // bytes of Caption; 0 means no caption
    QImage Image;
    bool HasImage = false;
    bool Hover = false;
    bool Pressed = false;
    bool Selected = false;
};

using SkinControlArray = std::vector<TSkinControl>;

// Decodes an image stored in the program's resources. Nothing when the resource is missing;
// bytes that do not decode still give an (empty, 0 x 0) image, which draws nothing.
std::optional<QImage> LoadResourceImage(const QString& resName, const QString& resType);

class TSkinElements {
public:
    TSkinElements() = default;
    virtual ~TSkinElements() = default;
    TSkinElements(const TSkinElements&) = delete;
    TSkinElements& operator=(const TSkinElements&) = delete;

    qint32 AddControl(quint8 kind, qint32 left, qint32 top, qint32 width, qint32 height, qint32 id);
    void SetControlBounds(qint32 index, qint32 left, qint32 top, qint32 width, qint32 height);
    qint32 IndexOfId(qint32 id) const;
    qint32 HitTest(qint32 x, qint32 y) const;
    void SetControlCaption(qint32 index, const QString& caption);
    void LoadControlImage(qint32 index, const QString& resName, const QString& resType);
    void AddModule(qint32 id, const QString& caption, const QString& resName,
                   const QString& resType);
    void LayoutCaptionButtons(qint32 width);

    // Move the hover / pressed flag to another element (-1: none), redrawing what changes.
    void SetHoverIndex(qint32 index);
    void SetPressedIndex(qint32 index);
    // Exactly the modules with this id become selected; each one touched is redrawn.
    void SelectModule(qint32 id);

    bool IsValidIndex(qint32 index) const { return index >= 0 && index < FControlCount; }

    // Starts the table afresh with the three caption buttons of this window.
    void ResetWithCaptionButtons();

    // Redraws one element where it is shown; the table alone shows nothing.
    virtual void RedrawControl(qint32 index) { Q_UNUSED(index); }

    SkinControlArray FControls;
    qint32 FControlCount = 0;
    qint32 FCaptionCount = 0;
    qint32 FHoverIndex = -1;
    qint32 FPressedIndex = -1;
    qint32 FNextModuleX = 7;
    QImage FBkImage;
    bool FHasBkImage = false;
    struct {
        qint32 X = 0;
        qint32 Y = 0;
        qint32 Width = 0;
        qint32 Height = 0;
    } FBkCenter;

private:
    void MoveFlag(qint32& current, qint32 index, bool TSkinControl::*flag);
};
