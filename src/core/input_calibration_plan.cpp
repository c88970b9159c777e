// The input calibration wizard's points and steps.
#include "core/input_calibration_plan.h"

#include <array>

namespace incal {

namespace {

// What to tell the technician.
constexpr QStringView ShortLV =
    u"Zárja össze az LV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha "
    u"kész, nyomjon Next gombot.";
constexpr QStringView KeepLVShorted =
    u"Hagyja összezárva az LV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. "
    u"Ha kész, nyomjon Next gombot.";
constexpr QStringView ApplyLV =
    u"Kapcsolja a kalibráló feszültséget az LV és COM bemenetek közé. Várja meg, hogy az AD CH1 "
    u"érték megnyugodjon. Ha kész, nyomjon Next gombot.";
constexpr QStringView ChangeToHV =
    u"Figyelem! Csatlakozó csere. Zárja össze a HV és COM bemeneteket. Várja meg, hogy az AD CH1 "
    u"érték megnyugodjon. Ha kész, nyomjon Next gombot.";
constexpr QStringView KeepHVShorted =
    u"Hagyja összezárva a HV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha "
    u"kész, nyomjon Next gombot.";
constexpr QStringView ApplyHV =
    u"Kapcsolja a kalibráló feszültséget a HV és COM bemenetek közé. Várja meg, hogy az AD CH1 "
    u"érték megnyugodjon. Ha kész, nyomjon Next gombot.";
constexpr QStringView OpenI =
    u"Hagyja nyitva az I és COM bemeneteket. Várja meg, hogy az AD CH0 érték megnyugodjon. Ha "
    u"kész, nyomjon Next gombot.";
constexpr QStringView Drive20mA =
    u"Folyasson az I és COM bemeneteken keresztül 20 mA-t. Várja meg, hogy az AD CH0 érték "
    u"megnyugodjon. Ha kész, nyomjon Next gombot.";
constexpr QStringView StoreText =
    u"A kalibrálási adatok készülékbe töltéséhez nyomja meg a nyomógombot.";

// Each zero point is taken with exactly the forcing of the full-scale point
// it belongs to.
constexpr std::array<Point, 14> Points{{
    {u"Ube Low1 kalibrálás", ShortLV, Channel::CH1, Divider::Minimum, Gain::Au2, 0, false,
     u"Low1 = "},
    {u"Ube Low2 kalibrálás", KeepLVShorted, Channel::CH1, Divider::Minimum, Gain::Au1, 1, false,
     u"Low2 = "},
    {u"Ube Low3 kalibrálás", KeepLVShorted, Channel::CH1, Divider::Medium, Gain::Au1, 2, false,
     u"Low3 = "},
    {u"Ube High1 kalibrálás: 150 mV", ApplyLV, Channel::CH1, Divider::Minimum, Gain::Au2, 0, true,
     u"High1 = "},
    {u"Ube High2 kalibrálás: 450 mV", ApplyLV, Channel::CH1, Divider::Minimum, Gain::Au1, 1, true,
     u"High2 = "},
    {u"Ube High3 kalibrálás: 2,3 V", ApplyLV, Channel::CH1, Divider::Medium, Gain::Au1, 2, true,
     u"High3 = "},
    {u"Ube Low4 kalibrálás", ChangeToHV, Channel::CH1, Divider::Medium, Gain::Au2, 3, false,
     u"Low4 = "},
    {u"Ube Low5 kalibrálás", KeepHVShorted, Channel::CH1, Divider::Maximum, Gain::Au4, 4, false,
     u"Low5 = "},
    {u"Ube Low6 kalibrálás", KeepHVShorted, Channel::CH1, Divider::Maximum, Gain::Au1, 5, false,
     u"Low6 = "},
    {u"Ube High4 kalibrálás: 10 V", ApplyHV, Channel::CH1, Divider::Medium, Gain::Au2, 3, true,
     u"High4 = "},
    {u"Ube High5 kalibrálás: 40 V", ApplyHV, Channel::CH1, Divider::Maximum, Gain::Au4, 4, true,
     u"High5 = "},
    {u"Ube High6 kalibrálás: 100 V", ApplyHV, Channel::CH1, Divider::Maximum, Gain::Au1, 5, true,
     u"High6 = "},
    {u"Ibe Low kalibrálás", OpenI, Channel::CH0, Divider::Maximum, Gain::Au1, 6, false, u"Low7 = "},
    {u"Ibe High kalibrálás: 20 mA", Drive20mA, Channel::CH0, Divider::Maximum, Gain::Au1, 6, true,
     u"High7 = "},
}};

} // namespace

const QStringView ClosingTitle = u"Kalibrálási adatok mentése.";
const QStringView StoreInstruction = StoreText;

std::span<const Point> points()
{
    return Points;
}

Step step(qint32 state, bool nextPressed)
{
    if (state == ClosingState) return {Step::Kind::Close, nullptr, 0};
    if (state < FirstState || state > ClosingState) return {};
    const Point *point = &Points[std::size_t(state / 10 - 1)];
    switch (state % 10) {
    case 0:
        return {Step::Kind::Show, point, state + 1};
    case 1:
        // A press made before the point was shown does not capture it: the
        // window forgets presses when it shows a point.
        if (!nextPressed) return {};
        return {Step::Kind::Capture, point, state + 9};
    default:
        return {};
    }
}

} // namespace incal
