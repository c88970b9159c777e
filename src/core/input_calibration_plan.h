// The input calibration wizard's plan: fourteen converter points taken one
// by one, each under the gain, channel and divider it is forced to, with
// what the technician is told and where the captured reading goes in the
// request; and its steps. The window drives the steps with its timer and
// shows them; the plan decides what each step is.
#pragma once

#include <QStringView>
#include <QtGlobal>

#include <span>

namespace incal {

// Items of the force selectors as the wizard picks them.
enum class Channel { CH0 = 0, CH1 = 1 };
enum class Divider { Off = 0, Minimum = 1, Medium = 2, Maximum = 3 };
enum class Gain { Off = 0, Au1 = 1, Au2 = 2, Au4 = 3 };

struct Point {
    QStringView title;
    QStringView instruction;
    Channel channel; // also the converter whose averaged reading is captured
    Divider divider;
    Gain gain;
    int calibrationPoint; // 0 ... 6: InCalLow1 ... InCalLow7 or InCalHigh1 ... InCalHigh7
    bool high;
    QStringView prefix; // before the captured value in the list
};
std::span<const Point> points();

// The wizard's states: 10, 20 ... 140 show a point, one more waits for
// Next; 150 closes; 0 is finished or not started.
inline constexpr qint32 FirstState = 10;
inline constexpr qint32 ClosingState = 150;
// What the closing step shows.
extern const QStringView ClosingTitle;
extern const QStringView StoreInstruction;

struct Step {
    enum class Kind {
        None,    // nothing to do in this state (waiting for Next, or finished)
        Show,    // show the point and force the instrument for it
        Capture, // take the latest averaged reading for the point
        Close,   // release the forcing and offer the store
    };
    Kind kind = Kind::None;
    const Point *point = nullptr; // Show, Capture
    qint32 nextState = 0;
};
// The step the wizard takes in `state`, with Next pressed or not.
Step step(qint32 state, bool nextPressed);

} // namespace incal
