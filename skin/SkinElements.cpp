#include "SkinElements.h"

#include "ResourceLookup.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

std::optional<QImage> LoadResourceImage(const QString& resName, const QString& resType) {
    try {
        std::optional<QByteArray> bytes = hidiap::FindResource(resType, resName);
        if (!bytes)
            return std::nullopt;
        QBuffer buffer(&*bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // The skin pictures carry no colour profile worth honouring; keep their pixels as they are.
        QImage image = reader.read();
        if (!image.isNull())
            image.setColorSpace(QColorSpace());
        return image;
    } catch (...) {
        return std::nullopt;
    }
}

qint32 TSkinElements::AddControl(quint8 kind, qint32 left, qint32 top, qint32 width, qint32 height,
                                 qint32 id) {
    FControls.emplace_back();
    const qint32 index = FControlCount;
    FControlCount = static_cast<qint32>(FControls.size());
    TSkinControl& c = FControls[index];
    c.Kind = kind;
    c.Id = id;
    c.Hover = c.Pressed = c.Selected = c.HasImage = false;
    SetControlBounds(index, left, top, width, height);
    return index;
}

void TSkinElements::SetControlBounds(qint32 index, qint32 left, qint32 top, qint32 width,
                                     qint32 height) {
    TSkinControl& c = FControls[index];
    c.Left = left;
    c.Top = top;
    if (width >= 0)
        c.Width = width;
    if (height >= 0)
        c.Height = height;
    c.BoundsRect = {c.Left, c.Top, c.Left + c.Width, c.Top + c.Height};
}

qint32 TSkinElements::IndexOfId(qint32 id) const {
    for (qint32 i = 0; i < FCaptionCount && i < FControlCount; ++i)
        if (FControls[i].Id == id)
            return i;
    return -1;
}

qint32 TSkinElements::HitTest(qint32 x, qint32 y) const {
    for (qint32 i = 0; i < FControlCount; ++i)
        if (FControls[i].BoundsRect.Contains(x, y))
            return i;
    return -1;
}

void TSkinElements::SetControlCaption(qint32 index, const QString& caption) {
    if (!IsValidIndex(index))
        return;
    TSkinControl& c = FControls[index];
    c.Caption = caption;
    if (caption.isEmpty()) {
        c.CaptionW.clear();
        c.CaptionLen = 0;
    } else {
        c.CaptionW = caption;
        c.CaptionLen = static_cast<qint32>(caption.toUtf8().size());
    }
}

void TSkinElements::LoadControlImage(qint32 index, const QString& resName, const QString& resType) {
    if (!IsValidIndex(index))
        return;
    TSkinControl& c = FControls[index];
    if (c.HasImage) {
        c.Image = QImage();
        c.HasImage = false;
    }
    if (std::optional<QImage> image = LoadResourceImage(resName, resType)) {
        c.Image = *image;
        c.HasImage = true;
    }
}

void TSkinElements::AddModule(qint32 id, const QString& caption, const QString& resName,
                              const QString& resType) {
    const qint32 index = AddControl(SKIN_KIND_MODULE, FNextModuleX, 44, 72, 76, id);
    FNextModuleX += FControls[index].Width + 5;
    SetControlCaption(index, caption);
    LoadControlImage(index, resName, resType);
}

void TSkinElements::LayoutCaptionButtons(qint32 width) {
    qint32 x = width - 2;
    for (qint32 id : {SKIN_ID_CLOSE, SKIN_ID_MAXIMIZE, SKIN_ID_MINIMIZE, SKIN_ID_APP}) {
        const qint32 index = IndexOfId(id);
        if (index < 0)
            continue;
        x -= FControls[index].Width;
        SetControlBounds(index, x, 2, -1, -1);
    }
}

void TSkinElements::ResetWithCaptionButtons() {
    FControls.clear();
    FControlCount = 0;
    FHoverIndex = -1;
    FPressedIndex = -1;
    FNextModuleX = 7;
    FHasBkImage = false;
    // Placeholder positions: LayoutCaptionButtons places them before they are first drawn.
    AddControl(SKIN_KIND_CAPTION, 300, 5, 30, 19, SKIN_ID_APP);
    AddControl(SKIN_KIND_CAPTION, 300, 5, 30, 19, SKIN_ID_MINIMIZE);
    AddControl(SKIN_KIND_CAPTION, 400, 5, 39, 19, SKIN_ID_CLOSE);
    FCaptionCount = FControlCount;
}

void TSkinElements::MoveFlag(qint32& current, qint32 index, bool TSkinControl::*flag) {
    if (index == current)
        return;
    const qint32 old = current;
    current = index;
    if (IsValidIndex(old)) {
        FControls[old].*flag = false;
        RedrawControl(old);
    }
    if (IsValidIndex(index)) {
        FControls[index].*flag = true;
        RedrawControl(index);
    }
}

void TSkinElements::SetHoverIndex(qint32 index) {
    MoveFlag(FHoverIndex, index, &TSkinControl::Hover);
}

void TSkinElements::SetPressedIndex(qint32 index) {
    MoveFlag(FPressedIndex, index, &TSkinControl::Pressed);
}

void TSkinElements::SelectModule(qint32 id) {
    for (qint32 i = 0; i < FControlCount; ++i) {
        TSkinControl& c = FControls[i];
        if (c.Kind != SKIN_KIND_MODULE)
            continue;
        if (c.Id == id) {
            c.Selected = true;
            RedrawControl(i);
        } else if (c.Selected) {
            c.Selected = false;
            RedrawControl(i);
        }
    }
}
