// TSpeedButton: the latching button of the window's command and choice rows.
// Buttons with the same parent and the same GroupIndex (> 0) form a group in
// which at most one is down; AllowAllUp lets a click release the down one.
// Setting Down from code never clicks, so handlers can push buttons freely.
#pragma once

#include <QIcon>
#include <QPalette>
#include <QToolButton>

class TSpeedButton : public QToolButton {
    Q_OBJECT
    // GroupIndex and AllowAllUp come before Down so a form that lists them
    // in this order builds its groups before any button goes down.
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE setGroupIndex)
    Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE setAllowAllUp)
    Q_PROPERTY(bool Down READ Down WRITE setDown)
    Q_PROPERTY(QIcon Glyph READ Glyph WRITE setGlyph)

public:
    explicit TSpeedButton(QWidget *parent = nullptr);

    int GroupIndex() const { return m_groupIndex; }
    // Negative group numbers clamp to 0 (no group).
    void setGroupIndex(int index);

    bool AllowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool allow) { m_allowAllUp = allow; }

    bool Down() const { return isChecked(); }
    // Going down releases the other buttons of the group; no OnClick.
    // Hides QAbstractButton::setDown (the transient pressed look), which
    // Qt itself never calls through this class.
    void setDown(bool down);

    QIcon Glyph() const { return m_glyph; }
    // The picture is drawn left of the caption, or alone and centred when
    // the button has no caption.
    void setGlyph(const QIcon &glyph);

    // The other buttons of this button's group (same parent, same index).
    QList<TSpeedButton *> groupMates() const;

signals:
    // A user click, after the Down state has been updated.
    void OnClick();

protected:
    void nextCheckState() override;
    void paintEvent(QPaintEvent *event) override;

private:
    void releaseGroupMates();

    QPalette m_downPalette;     // the face of the down state
    qint64 m_downPaletteOf = 0; // the cache key of the palette it was made from
    int m_groupIndex = 0;
    bool m_allowAllUp = false;
    QIcon m_glyph;
};
