// The simulated KX4720R: what the instrument does with one request, and the
// reply it gives. It keeps the instrument's stored settings and calibration,
// acknowledges commands, obeys the forcing codes and the output check, and
// produces converter readings and a temperature from a small model of its
// input stage, with seeded noise so that tests can repeat a run exactly.
// No port and no timers: the caller hands in each request with the time.
#pragma once

#include "protocol/instrument_protocol.h"

#include <array>
#include <chrono>
#include <optional>
#include <random>

class InstrumentModel {
public:
    struct Options {
        std::uint32_t seed = 1;
        // A new instrument from the line holds no calibration: both
        // "uncalibrated" flags are set until calibration values are stored.
        bool inputCalibrated = true;
        bool outputCalibrated = true;
        // Working time already on the counter when the simulation starts.
        quint32 operatingMinutes = 1000;
        // The physical input in the base unit of the input type (V or mA);
        // without it the input sweeps slowly across the stored input scale.
        std::optional<double> inputSignal;
        // How far both converters' offsets have drifted since the unit was
        // calibrated, in converter counts: the input reads off until it is
        // calibrated again (a calibration captures the drifted offsets).
        qint32 inputDrift = 0;
        // Fault: commands are carried out but never acknowledged.
        bool neverAcknowledge = false;
    };

    struct Date {
        quint16 year = 0;
        quint8 month = 0;
        quint8 day = 0;
    };
    static constexpr Date FirmwareDate{2013, 9, 30};

    InstrumentModel() : InstrumentModel(Options{}) {}
    explicit InstrumentModel(const Options &options);

    // Carries out one request received `elapsed` after the simulation
    // started (elapsed never decreases) and returns the reply to it.
    InstrumentReply answer(const InstrumentRequest &request, std::chrono::milliseconds elapsed);

    void setInputSignal(std::optional<double> signal) { options_.inputSignal = signal; }
    void setNeverAcknowledge(bool never) { options_.neverAcknowledge = never; }

    // What the instrument holds, for tests and the simulator's log.
    bool inputCalibrated() const { return inputCalibrated_; }
    bool outputCalibrated() const { return outputCalibrated_; }
    Date calibrationDate() const { return calibrationDate_; }

private:
    struct InputStage {
        int range = 0; // 0 ... 6
        quint8 gainCH0 = 1;
        quint8 gainCH1 = 1;
        quint8 dividerCH1 = 0; // 0 ... 2
    };

    void carryOut(quint8 commands, const InstrumentRequest &request);
    void restoreFactoryDefaults();
    InputStage inputStage(const InstrumentRequest &request) const;
    int ownRange() const;
    double inputSignal(double seconds) const;
    qint32 convert(double volts, double gainError, qint32 offset, bool &overrange);
    double measuredInput(const InputStage &stage, qint32 averagedCH0, qint32 averagedCH1) const;
    quint16 outputPwm(const InstrumentRequest &request, double scaleRatio, bool &rangeError) const;
    double outputValue(quint16 pwm) const;
    double temperatureAt(double seconds);
    int noise(int amplitude);

    Options options_;
    std::mt19937 random_;

    quint8 inputType_ = instrument::Type::Current;
    quint8 outputType_ = instrument::Type::Current;
    double inputLow_ = 4.0;
    double inputHigh_ = 20.0;
    double outputLow_ = 4.0;
    double outputHigh_ = 20.0;

    std::array<InstrumentRequest::CalibrationPoint, 7> inputCalibration_{};
    bool inputCalibrated_ = false;
    std::array<quint16, 4> outputCalibration_{}; // 4 mA, 20 mA, 2 V, 10 V
    bool outputCalibrated_ = false;
    Date calibrationDate_;

    quint8 ram1Source_ = instrument::MemoryArea::Fram1;
    quint8 ram2Source_ = instrument::MemoryArea::Fram2;

    std::optional<double> averagedCH0_; // the instrument's running filter
    std::optional<double> averagedCH1_;
    double temperatureMin_ = 0.0;
    double temperatureMax_ = 0.0;
};
