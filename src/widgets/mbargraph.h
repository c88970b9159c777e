// TMBarGraph: the bar indicator of the instrument window. A lowered panel with
// four parts (minus bar, plus bar, zero marker, value text) that one layout
// pass places, sizes, colours and shows; the control paints them itself.
//
// The parts are not child widgets: a child that moves or changes size at every
// reply makes Qt repaint whatever lies beneath its old and new place (the
// control, its group box, the window) and labels over it read their
// background again. Drawn by the control, a new value repaints the parts that
// changed, within the control alone.
#pragma once

#include <QFont>
#include <QFrame>
#include <QRect>
#include <QString>

#include "widgets/colors.h"
#include "widgets/digitshape.h"
#include "widgets/textrun.h"

// Where a part of the bar graph stands, in the control's coordinates, and
// whether it is shown. A part keeps its last bounds while hidden.
class MBGPart {
public:
    QRect geometry() const { return m_bounds; }
    QPoint pos() const { return m_bounds.topLeft(); }
    QSize size() const { return m_bounds.size(); }
    int x() const { return m_bounds.x(); }
    int y() const { return m_bounds.y(); }
    int width() const { return m_bounds.width(); }
    int height() const { return m_bounds.height(); }
    bool isShown() const { return m_shown; }
    bool operator==(const MBGPart &) const = default;

protected:
    friend class TMBarGraph;
    // What the part paints on: nothing while hidden or empty.
    QRect painted() const { return m_shown && !m_bounds.isEmpty() ? m_bounds : QRect(); }

    QRect m_bounds;
    bool m_shown = true;
};

// One rectangle of the bar graph: a black outline filled with its brush colour.
class MBGRectangle : public MBGPart {
public:
    TColor brushColor() const { return m_brush; } // as set, system colours unresolved
    bool operator==(const MBGRectangle &) const = default;

private:
    friend class TMBarGraph;
    explicit MBGRectangle(TColor brush) : m_brush(brush) {}

    TColor m_brush;
};

// The value text: its caption, in the font and colour of the last pass that
// laid it out, left- and top-aligned in its bounds.
class MBGText : public MBGPart {
public:
    const QString &text() const { return m_text; }
    QFont font() const { return m_font; }
    TColor color() const { return m_color; }
    bool operator==(const MBGText &) const = default;

private:
    friend class TMBarGraph;

    QString m_text;
    QFont m_font;
    TColor m_color = kxcolor::black;
};

class TMBarGraph : public QFrame {
    Q_OBJECT
public:
    enum class TMBGOrientation { orientationHorizontal, orientationVertical };
    Q_ENUM(TMBGOrientation)
    enum class TMBGMode { modeSigned, modeUnsigned };
    Q_ENUM(TMBGMode)
    enum class TMBGTextPosition { tpInside, tpOutside, tpAuto, tpFix, tpCentre };
    Q_ENUM(TMBGTextPosition)

private:
    // Streaming order of the window description.
    Q_PROPERTY(TMBGOrientation MBGOrientation READ MBGOrientation WRITE setMBGOrientation)
    Q_PROPERTY(double MBGValue READ MBGValue WRITE setMBGValue)
    Q_PROPERTY(quint32 MBGMinusColorAt0 READ MBGMinusColorAt0 WRITE setMBGMinusColorAt0)
    Q_PROPERTY(quint32 MBGMinusColorAt1 READ MBGMinusColorAt1 WRITE setMBGMinusColorAt1)
    Q_PROPERTY(quint32 MBGPlusColorAt0 READ MBGPlusColorAt0 WRITE setMBGPlusColorAt0)
    Q_PROPERTY(quint32 MBGPlusColorAt1 READ MBGPlusColorAt1 WRITE setMBGPlusColorAt1)
    Q_PROPERTY(TMBGMode MBGMode READ MBGMode WRITE setMBGMode)
    Q_PROPERTY(bool MBGShowText READ MBGShowText WRITE setMBGShowText)
    Q_PROPERTY(bool MBGInverseText READ MBGInverseText WRITE setMBGInverseText)
    Q_PROPERTY(TMBGTextPosition MBGTextPosition READ MBGTextPosition WRITE setMBGTextPosition)
    Q_PROPERTY(int MBGTextLeft READ MBGTextLeft WRITE setMBGTextLeft)
    Q_PROPERTY(int MBGTextTop READ MBGTextTop WRITE setMBGTextTop)
    Q_PROPERTY(int MBGDecimals READ MBGDecimals WRITE setMBGDecimals)

public:
    explicit TMBarGraph(QWidget *parent = nullptr);
    ~TMBarGraph() override;

    TMBGOrientation MBGOrientation() const { return m_orientation; }
    double MBGValue() const { return m_value; }
    TColor MBGMinusColorAt0() const { return m_minusColorAt0; }
    TColor MBGMinusColorAt1() const { return m_minusColorAt1; }
    TColor MBGPlusColorAt0() const { return m_plusColorAt0; }
    TColor MBGPlusColorAt1() const { return m_plusColorAt1; }
    TMBGMode MBGMode() const { return m_mode; }
    bool MBGShowText() const { return m_showText; }
    bool MBGInverseText() const { return m_inverseText; }
    TMBGTextPosition MBGTextPosition() const { return m_textPosition; }
    int MBGTextLeft() const { return m_textLeft; }
    int MBGTextTop() const { return m_textTop; }
    int MBGDecimals() const { return m_decimals; }

    void setMBGOrientation(TMBGOrientation orientation);
    void setMBGValue(double value); // any value; drawn limited to -1 ... +1
    // Nothing measured yet: neither bar nor text until the next setMBGValue,
    // which shows its value whatever the one before.
    void showNoValue();
    bool showsValue() const { return m_showsValue; }
    void setMBGMinusColorAt0(TColor color);
    void setMBGMinusColorAt1(TColor color);
    void setMBGPlusColorAt0(TColor color);
    void setMBGPlusColorAt1(TColor color);
    void setMBGMode(TMBGMode mode);
    void setMBGShowText(bool show);
    void setMBGInverseText(bool inverse);
    void setMBGTextPosition(TMBGTextPosition position);
    void setMBGTextLeft(int left);
    void setMBGTextTop(int top);
    void setMBGDecimals(int decimals); // limited to 0 ... 4

    // The parts, for the window's inspection and for tests.
    const MBGRectangle *minusBar() const { return &m_minusBar; }
    const MBGRectangle *plusBar() const { return &m_plusBar; }
    const MBGRectangle *zeroMarker() const { return &m_zeroMarker; }
    const MBGText *valueText() const { return &m_valueText; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void layoutPass(bool force);
    void layoutSignedHorizontal(bool recompute);
    void layoutSignedVertical(bool recompute);
    void layoutUnsignedHorizontal(bool recompute);
    void layoutUnsignedVertical(bool recompute);
    void layoutValueText(bool besideBar);
    class PartsWatch;
    static void setBounds(MBGPart &part, int left, int top, int width, int height);
    void showBar(MBGRectangle &bar, TColor color);
    void hideBars();
    void paintRectangle(QPainter &painter, const MBGRectangle &part) const;
    void paintText(QPainter &painter) const;

    // Parts in painting order: the value text lies above the bars.
    MBGRectangle m_minusBar{kxcolor::blue};
    MBGRectangle m_plusBar{kxcolor::red};
    MBGRectangle m_zeroMarker{kxcolor::white};
    MBGText m_valueText;

    TMBGOrientation m_orientation = TMBGOrientation::orientationHorizontal;
    double m_value = 0.5;        // as written
    double m_clampedValue = 0.5; // what the bars show
    double m_lastLaidOut = 0.0;  // m_clampedValue at the last recomputation of the bars
    TColor m_minusColorAt0 = kxcolor::white;
    TColor m_minusColorAt1 = kxcolor::blue;
    TColor m_plusColorAt0 = kxcolor::white;
    TColor m_plusColorAt1 = kxcolor::red;
    TMBGMode m_mode = TMBGMode::modeUnsigned;
    bool m_showText = true;
    bool m_showsValue = true;
    bool m_inverseText = false;
    bool m_textOutside = true; // tpAuto's side, kept between passes
    TMBGTextPosition m_textPosition = TMBGTextPosition::tpAuto;
    int m_textLeft = 0;
    int m_textTop = 0;
    int m_decimals = 0;
    TextMeasureMemo<int> m_textWidth; // of the value text
    mutable TextRun m_textRun;        // its glyphs, kept between paints
};

using TMBGOrientation = TMBarGraph::TMBGOrientation;
using TMBGMode = TMBarGraph::TMBGMode;
using TMBGTextPosition = TMBarGraph::TMBGTextPosition;
