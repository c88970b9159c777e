// The group rules of TSpeedButton and its pressed look.
#include "widgets/speedbutton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

TSpeedButton::TSpeedButton(QWidget *parent) : QToolButton(parent)
{
    // The checked state is the Down state; the click handling of
    // QAbstractButton goes through nextCheckState(), where the group rules live.
    setCheckable(true);
    setAutoExclusive(false);
    // A speed button never takes the keyboard focus, so pressing one does
    // not pull the focus out of an edit the user is typing in.
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, &TSpeedButton::OnClick);
}

void TSpeedButton::setGroupIndex(int index)
{
    m_groupIndex = std::max(index, 0);
    if (Down()) releaseGroupMates();
}

void TSpeedButton::setDown(bool down)
{
    if (down) releaseGroupMates();
    setChecked(down);
}

void TSpeedButton::setGlyph(const QIcon &glyph)
{
    m_glyph = glyph;
    setIcon(glyph);
    update();
}

QList<TSpeedButton *> TSpeedButton::groupMates() const
{
    QList<TSpeedButton *> mates;
    if (m_groupIndex == 0 || !parent()) return mates;
    const auto siblings = parent()->findChildren<TSpeedButton *>(Qt::FindDirectChildrenOnly);
    for (TSpeedButton *b : siblings)
        if (b != this && b->m_groupIndex == m_groupIndex) mates.append(b);
    return mates;
}

void TSpeedButton::releaseGroupMates()
{
    for (TSpeedButton *b : groupMates())
        b->setChecked(false);
}

void TSpeedButton::nextCheckState()
{
    // Outside a group the button is a plain click button: it does not latch.
    if (m_groupIndex == 0) return;
    if (!Down()) {
        setDown(true);
    } else if (m_allowAllUp) {
        setChecked(false);
    }
    // A down button of a group that must keep one down stays down; the click
    // is still reported, as the handlers expect ("down after the click").
}

void TSpeedButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    // Always draw the button face (not only on hover), and make the down
    // state unmistakable: sunken frame plus a darker face.
    opt.state |= QStyle::State_Raised;
    if (Down()) {
        opt.state |= QStyle::State_Sunken | QStyle::State_On;
        // The darker face is made once per palette of the button. A palette
        // made anew at every paint has a new cache key each time, and the
        // style keeps a picture of the button in its pixmap cache under every
        // one: the window's memory grew with every opening of the port.
        if (m_downPaletteOf != palette().cacheKey()) {
            m_downPaletteOf = palette().cacheKey();
            m_downPalette = palette();
            m_downPalette.setColor(QPalette::Button, palette().color(QPalette::Button).darker(125));
        }
        opt.palette = m_downPalette;
    }
    // The glyph fills the face when there is no caption and sits left of it
    // otherwise; decided here so the order of setText/setGlyph does not matter.
    const int margin = 4;
    if (m_glyph.isNull()) {
        opt.toolButtonStyle = Qt::ToolButtonTextOnly;
    } else if (text().isEmpty()) {
        opt.toolButtonStyle = Qt::ToolButtonIconOnly;
        opt.iconSize = size().shrunkBy(QMargins(margin, margin, margin, margin));
    } else {
        opt.toolButtonStyle = Qt::ToolButtonTextBesideIcon;
        const int side = std::max(height() - 2 * margin, 1);
        opt.iconSize = QSize(side, side);
    }
    p.drawComplexControl(QStyle::CC_ToolButton, opt);
}
