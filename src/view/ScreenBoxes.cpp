#include "view/ScreenBoxes.h"

#include "platform/BoxParse.h"
#include "ui/FormHost.h"
#include "ui/Prompts.h"
#include "view/LiveDisplays.h"

#include <span>

namespace qav {
namespace {

std::u16string_view Utf16(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

} // namespace

bool ScreenBoxes::ReadAll()
{
    if (beforeExchange_)
        beforeExchange_();
    for (const ExchangeEntry& entry : kExchangeOrder) {
        const QString text = form_.Text(entry.box);
        // A box whose text and value are those of its last reading would
        // read as the same value again: only changed boxes are parsed.
        const auto last = lastRead_.constFind(entry.box);
        if (last != lastRead_.cend() && last->text == text) {
            const bool same = entry.kind == ValueKind::Int     ? values_.Int(entry.box) == last->i
                              : entry.kind == ValueKind::Float ? values_.Float(entry.box) == last->f
                                                               : values_.Text(entry.box) == text;
            if (same)
                continue;
        }
        LastRead read{text, 0, 0.0f};
        switch (entry.kind) {
        case ValueKind::Int:
            if (const auto v = ParseBoxInt(Utf16(text))) {
                values_.Int(entry.box) = read.i = *v;
            } else {
                ShowParseError(entry.box, IntParseMessage());
                return false;
            }
            break;
        case ValueKind::Float:
            if (const auto v = ParseBoxFloat(Utf16(text))) {
                values_.Float(entry.box) = read.f = *v;
            } else {
                ShowParseError(entry.box, FloatParseMessage());
                return false;
            }
            break;
        case ValueKind::Text:
            values_.Text(entry.box) = text;
            break;
        }
        lastRead_.insert(entry.box, read);
    }
    return true;
}

void ScreenBoxes::ShowParseError(int box, const QString& message)
{
    // The message box takes the key release of this Enter press, so the
    // release must not commit again when it lands in the box afterwards.
    enterDownSeen_ = false;
    prompts_.Message(form_.window(), AppTitle(), message, MessageButtons::Ok);
    form_.Focus(box, true);
}

bool ScreenBoxes::TakeEnter(bool keyDown, bool autoRepeat)
{
    if (keyDown) {
        enterDownSeen_ = true;
        return true;
    }
    // Held keys repeat their presses; only the final release counts, and
    // only for a press this screen saw.
    if (autoRepeat || !enterDownSeen_)
        return false;
    enterDownSeen_ = false;
    return true;
}

void ScreenBoxes::ShowAll()
{
    if (beforeExchange_)
        beforeExchange_();
    ++showing_;
    bool liveRewritten = false;
    for (const ExchangeEntry& entry : kExchangeOrder) {
        QString text;
        switch (entry.kind) {
        case ValueKind::Int:
            text = QString::fromStdString(FormatBoxInt(values_.Int(entry.box)));
            break;
        case ValueKind::Float:
            text = QString::fromStdString(FormatBoxFloat(values_.Float(entry.box)));
            break;
        case ValueKind::Text:
            text = values_.Text(entry.box);
            break;
        }
        if (form_.Text(entry.box) != text) {
            form_.SetText(entry.box, text);
            liveRewritten = liveRewritten || LiveDisplays::IsLiveDisplay(entry.box);
        }
    }
    --showing_;
    // A live value put back from an old screen value is shown anew with the
    // next answer, even when that answer brings the value last shown.
    if (liveRewritten && onLiveRewritten_)
        onLiveRewritten_();
}

void ScreenBoxes::SyncSliders()
{
    for (const SliderBox& pair : kGainSliders)
        form_.SetSliderPos(pair.slider, values_.Int(pair.box));
}

void ScreenBoxes::ShowParameterSet(unsigned parts)
{
    using namespace edit;
    const ControllerParams& p = params_;
    // The first eight gain rows are roll and tilt, the last four pan.
    for (const GainRow& g : std::span(kGains).first<8>())
        if (parts & kRollTiltGains)
            values_.Int(g.box) = p.*g.param;
    for (const GainRow& g : std::span(kGains).last<4>())
        if (parts & kPanGainsAndAngles)
            values_.Int(g.box) = p.*g.param;
    if (parts & kServoCentres)
        for (const auto& c : kServoCenters)
            values_.Int(c.box) = p.*c.param;
    for (const DirectionRow& d : kDirections)
        if (parts & (d.param == &P::YAW_SERVO_REV ? kPanDirection : kRollTiltDirections))
            form_.SetChecked(d.checkBox, p.*d.param == kReversed);

    if (parts & kServoTypesAndModes) {
        for (const ServoListRow& s : kServoLists) {
            const bool speedServo = p.*s.servoType > kLastPositionServo;
            if (speedServo)
                form_.SetSelection(s.modeList, 0);
            form_.Enable(s.modeList, !speedServo);
        }
        for (const ServoListRow& s : kServoLists)
            form_.SetSelection(s.typeList, ItemOf(s.servoType, p.*s.servoType));
    }

    if (parts & kPanGainsAndAngles) {
        ShowModeList(idc::DefaultMode);
        for (const InitAngleRow& a : kInitAngles)
            values_.Float(a.box) = static_cast<float>(p.*a.param * 0.1); // tenths of a degree
    }
    if (parts & kLimitsAndReceiver) {
        for (const LimitRow& l : kLimits)
            values_.Int(l.box) = p.*l.param;
        for (const auto& rc : kRcSensitivities)
            values_.Int(rc.box) = p.*rc.param;
    }
    if (parts & kServoTypesAndModes) {
        for (const ServoListRow& s : kServoLists) {
            if (const int item = ItemOf(s.controlMode, p.*s.controlMode); item >= 0)
                form_.SetSelection(s.modeList, item);
        }
    }
    if (parts & kLimitsAndReceiver) {
        ShowModeList(idc::SensorModuleMount);
        form_.SetSelection(kReceiverList.list,
                           ItemOf(kReceiverList.param, p.*kReceiverList.param)); // none for 0
    }
    ShowAll();
    if (parts & kRollTiltGains)
        SyncSliders();
}

void ScreenBoxes::ShowModeList(int list)
{
    using namespace edit;
    // A value no item stands for leaves the list as it was.
    const ModeListRow& m = *FindRow(kModeLists, list, &ModeListRow::list);
    const std::span<const ParamChoice> items = Rules(m.param).choices;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].value == params_.*m.param)
            form_.SetSelection(m.list, static_cast<int>(i));
}

} // namespace qav
