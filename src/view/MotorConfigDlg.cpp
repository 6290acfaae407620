#include "view/MotorConfigDlg.h"

#include "files/SettingsFile.h"
#include "motor/MotorParamTable.h"
#include "platform/BoxParse.h"
#include "platform/PortMap.h"
#include "ui/LiveBox.h"
#include "ui/Prompts.h"
#include "ui/Skin.h"
#include "ui/UnflashedMark.h"
#include "upgrade/BootLoaderProbe.h"
#include "view/MotorDialogTable.h"
#include "view/ParamTips.h"
#include "view/UpgradeControls.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace qav {
namespace {

constexpr std::uint8_t kReversed = kMotorDirectionReversed;
constexpr std::uint8_t kNormal = kMotorDirectionNormal;

constexpr const auto& kParamBoxes = kMotorParamBoxes;

int IndexOfBox(int id)
{
    for (std::size_t i = 0; i < kParamBoxes.size(); ++i)
        if (kParamBoxes[i].box == id)
            return static_cast<int>(i);
    return -1;
}

// The direction check boxes, their parameter and what a click says (marked
// for the dialog's own translation context).
struct DirectionRow
{
    int checkBox;
    std::uint8_t MotorParams::*param;
    const char* reversed;
    const char* normal;
};
constexpr DirectionRow kDirections[] = {
    {mdc::Motor1Reverse, &MotorParams::DIR_MOTOR1, QT_TRANSLATE_NOOP("qav::CMotorConfigDlg", "电机1反向"),
     QT_TRANSLATE_NOOP("qav::CMotorConfigDlg", "电机1正向")},
    {mdc::Motor2Reverse, &MotorParams::DIR_MOTOR2, QT_TRANSLATE_NOOP("qav::CMotorConfigDlg", "电机2反向"),
     QT_TRANSLATE_NOOP("qav::CMotorConfigDlg", "电机2正向")},
};

std::u16string_view Utf16(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

// What a parameter box or direction box stands for (its tooltip).
QString TipOf(std::uint8_t MotorParams::*param)
{
    return ParamTipText(MotorFacts(MotorParamOf(param)));
}

QString Fixed3(double v)
{
    return QString::asprintf("%.3f", v);
}

// White text on red for the status box, on blue for the firmware version.
const char* const kStatusSheet = "QLineEdit { color: white; background: rgb(255, 0, 0); }";
const char* const kVersionSheet = "QLineEdit { color: white; background: rgb(0, 0, 255); }";
// A value typed and not sent: amber ground and a thick orange frame.
const char* const kUnsentSheet =
    "QLineEdit { background: rgb(255, 236, 179); border: 2px solid rgb(230, 120, 0); }";

} // namespace

CMotorConfigDlg::CMotorConfigDlg(MotorParams& params, FrameReceiver& receiver, IPrompts& prompts,
                                 std::string startupDirectory, QWidget* parent, int controllerPort,
                                 bool* valuesKnown, std::optional<MotorParams>* flashSet)
    : QDialog(parent), params_(params), prompts_(prompts), startupDirectory_(std::move(startupDirectory)),
      engine_(params, *this), link_(*this), upgrade_(*this, UpgradeOwnerKind::MotorDialog, BoardId::Motor)
{
    if (valuesKnown)
        valuesKnown_ = valuesKnown;
    if (flashSet)
        flashSet_ = flashSet;
    setWindowTitle(Title());
    SetSkinKind(this, SkinKind::FormWindow);
    form_ = new FormHost(MotorDialogControls(), this, this, kMotorDialogContext);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form_);
    form_->setFixedSize(kMotorDialogWidth, kMotorDialogHeight);
    setFixedSize(kMotorDialogWidth, kMotorDialogHeight);
    // Enter belongs to the parameter boxes: no button may take it as the
    // dialog's default.
    for (QPushButton* button : form_->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    form_->Control(mdc::Status)->setStyleSheet(QString::fromLatin1(kStatusSheet));
    form_->Control(mdc::FirmwareVersion)->setStyleSheet(QString::fromLatin1(kVersionSheet));
    // A long message is cut with "…"; its whole text is the tooltip.
    if (auto* status = qobject_cast<CLiveBox*>(form_->Control(mdc::Status)))
        status->SetElideLongText(true);

    for (const MotorParamBox& p : kParamBoxes)
        SetTip(form_->Control(p.box), TipOf(p.param));
    for (const DirectionRow& d : kDirections)
        SetTip(form_->Control(d.checkBox), TipOf(d.param));

    engine_.UseReceiver(receiver);
    engine_.SetTransport(&link_);

    ShowAllValues();
    form_->SetText(mdc::Voltage, QStringLiteral("0"));
    form_->SetText(mdc::Current, QStringLiteral("0"));
    form_->SetText(mdc::FirmwareVersion, tr("Firmware Version:"));
    ShowStatus(tr("Please open COM port!"));
    comChoice_.emplace(*form_, mdc::ComList, kSettingsMotorComKey, kSettingsMotorComNameKey);
    comChoice_->Init(startupDirectory_, controllerPort);
    form_->Enable(mdc::LoadConfig, false);
    form_->SetSliderPos(mdc::Progress, 0);
    form_->Enable(mdc::StartUpgrade, false);
    form_->Enable(mdc::CancelUpgrade, false);
    upgradeTarget_ = InitUpgradeDriver(upgrade_, this);
    // Under the firmware version, across the dialog.
    unflashedMark_ = MakeUnflashedMark(form_, QRect(10, 426, 540, 24), tr("motor board"));
}

CMotorConfigDlg::~CMotorConfigDlg()
{
    link_.Detach();
}

std::int32_t CMotorConfigDlg::Value(int box) const
{
    const int i = IndexOfBox(box);
    return i < 0 ? 0 : values_[static_cast<std::size_t>(i)];
}

void CMotorConfigDlg::ShowStatus(const QString& text)
{
    form_->SetText(mdc::Status, text);
    // Details belong to the message they were given with.
    ShowStatusDetails(QString());
}

void CMotorConfigDlg::ShowStatusDetails(const QString& details)
{
    if (auto* box = qobject_cast<CLiveBox*>(form_->Control(mdc::Status)))
        box->SetDetails(details);
}

bool CMotorConfigDlg::ReadAllBoxes()
{
    for (std::size_t i = 0; i < kParamBoxes.size(); ++i) {
        const int box = kParamBoxes[i].box;
        if (const auto v = ParseBoxInt(Utf16(form_->Text(box)))) {
            values_[i] = *v;
            continue;
        }
        prompts_.Message(this, AppTitle(), IntParseMessage(), MessageButtons::Ok);
        form_->Focus(box, true);
        return false;
    }
    return true;
}

void CMotorConfigDlg::ShowAllValues()
{
    ++showingValues_;
    for (std::size_t i = 0; i < kParamBoxes.size(); ++i) {
        const QString text = QString::fromStdString(FormatBoxInt(values_[i]));
        if (form_->Text(kParamBoxes[i].box) != text)
            form_->SetText(kParamBoxes[i].box, text);
    }
    --showingValues_;
}

// ---- controls ----------------------------------------------------------------

void CMotorConfigDlg::OnClicked(int id)
{
    switch (id) {
    case mdc::OpenComPort:
        OnOpenComPort();
        break;
    case mdc::WriteSettingsToFlash:
        OnWriteSettingsToFlash();
        break;
    case mdc::LoadConfig:
        LoadMotorConfig();
        break;
    case mdc::SaveConfig:
        SaveMotorConfig();
        break;
    case mdc::Motor1Reverse:
    case mdc::Motor2Reverse:
        OnDirectionClicked(id);
        break;
    case mdc::OpenFirmware:
        OpenFirmwareFile(upgrade_, prompts_, this);
        break;
    case mdc::StartUpgrade:
        upgrade_.OnStart();
        break;
    case mdc::CancelUpgrade:
        upgrade_.OnCancel();
        break;
    default:
        break; // the spare button does nothing
    }
}

void CMotorConfigDlg::OnTextChanged(int id)
{
    if (showingValues_ > 0 || IndexOfBox(id) < 0)
        return;
    OnBoxChanged(id);
}

void CMotorConfigDlg::OnBoxChanged(int box)
{
    // An empty box or a lone sign is a number still being typed.
    const QString text = form_->Text(box);
    if (text.isEmpty() || text == QStringLiteral("-"))
        return;
    if (!ReadAllBoxes()) {
        ShowAllValues(); // the refused box shows its previous value again
        return;
    }
    const auto i = static_cast<std::size_t>(IndexOfBox(box));
    values_[i] = static_cast<std::int32_t>(MotorParamOf(kParamBoxes[i].param).range.Clamp(values_[i]));
    ShowAllValues();
    params_.*kParamBoxes[i].param = static_cast<std::uint8_t>(values_[i]);
    UpdateUnsentMarks();
    if (MotorConnected())
        ShowStatus(tr("input(0-100), push 'return' key!"));
}

bool CMotorConfigDlg::Unsent(int box) const
{
    const int i = IndexOfBox(box);
    return i >= 0 && unsent_[static_cast<std::size_t>(i)];
}

void CMotorConfigDlg::UpdateUnsentMarks()
{
    for (std::size_t i = 0; i < kParamBoxes.size(); ++i) {
        const bool unsent = values_[i] != boardValues_[i];
        if (unsent == unsent_[i])
            continue;
        unsent_[i] = unsent;
        QWidget* box = form_->Control(kParamBoxes[i].box);
        box->setProperty("unsent", unsent);
        box->setStyleSheet(unsent ? QString::fromLatin1(kUnsentSheet) : QString());
        // The mark comes first; what the box stands for stays after it.
        const QString tip = TipOf(kParamBoxes[i].param);
        SetTip(box, unsent ? UnsentText() + QLatin1Char('\n') + tip : tip);
    }
}

void CMotorConfigDlg::OnSelectionChanged(int id)
{
    // The new port takes effect at the next "Open COM Port".
    if (id == mdc::ComList)
        comChoice_->TakeSelection();
}

void CMotorConfigDlg::OnDropDown(int id)
{
    if (id == mdc::ComList)
        comChoice_->Refill();
}

void CMotorConfigDlg::OnEnterKey(int focusedId, bool keyDown, bool)
{
    if (keyDown && IndexOfBox(focusedId) >= 0)
        SendParameters();
}

void CMotorConfigDlg::TakeValuesIntoParams()
{
    for (std::size_t i = 0; i < kParamBoxes.size(); ++i)
        params_.*kParamBoxes[i].param = static_cast<std::uint8_t>(values_[i]);
    for (const DirectionRow& d : kDirections)
        params_.*d.param = form_->Checked(d.checkBox) ? kReversed : kNormal;
}

void CMotorConfigDlg::SendParameters()
{
    ReadAllBoxes();
    TakeValuesIntoParams();
    engine_.RequestCommand(kMotorCmdWrite);
    if (MotorConnected())
        ShowStatus(tr("Motor parameters uploaded!"));
}

void CMotorConfigDlg::OnWriteSettingsToFlash()
{
    engine_.SetFlashPending();
    ReadAllBoxes();
    TakeValuesIntoParams();
    engine_.RequestCommand(kMotorCmdWrite);
    if (MotorConnected())
        ShowStatus(tr("Writting setting to flash..."));
}

void CMotorConfigDlg::OnDirectionClicked(int checkBox)
{
    const DirectionRow& d = *std::find_if(std::begin(kDirections), std::end(kDirections),
                                          [&](const DirectionRow& r) { return r.checkBox == checkBox; });
    const bool reversed = form_->Checked(checkBox);
    params_.*d.param = reversed ? kReversed : kNormal;
    if (MotorConnected())
        ShowStatus(tr(reversed ? d.reversed : d.normal));
    TakeValuesIntoParams();
    engine_.RequestCommand(kMotorCmdWrite);
}

// ---- replies of the board ------------------------------------------------------

void CMotorConfigDlg::OnMotorConnected()
{
    heardBoardOn_.insert(link_.Serial().PortNumber());
    ShowStatus(tr("Motor connected successfully!"));
    form_->Enable(mdc::LoadConfig, true);
}

void CMotorConfigDlg::OnFlashResult(bool stored)
{
    ShowStatus(stored ? tr("Write flash successfully!") : tr("Write flash failed!"));
    if (stored && engine_.BoardSet()) {
        *flashSet_ = BoardSet();
        UpdateUnflashedMark(false);
    }
}

void CMotorConfigDlg::OnParametersAccepted(bool)
{
    UpdateUnflashedMark(true);
}

MotorParams CMotorConfigDlg::BoardSet() const
{
    MotorParams board = engine_.BoardSet().value_or(params_);
    board.DIR_MOTOR1 = params_.DIR_MOTOR1;
    board.DIR_MOTOR2 = params_.DIR_MOTOR2;
    return board;
}

bool CMotorConfigDlg::HasUnflashedChanges() const
{
    return unflashedMark_->isVisibleTo(this);
}

void CMotorConfigDlg::UpdateUnflashedMark(bool accepted)
{
    // Only the four values the board keeps count; the directions are the
    // program's.
    const auto held = [](const MotorParams& p) {
        return std::array{p.POL_MOTOR1, p.POW_MOTOR1, p.POL_MOTOR2, p.POW_MOTOR2};
    };
    if (engine_.BoardSet() && *flashSet_)
        unflashedMark_->setVisible(held(*engine_.BoardSet()) != held(**flashSet_));
    else if (accepted)
        // Nothing to compare with yet: what it took may differ from flash.
        unflashedMark_->setVisible(true);
}

void CMotorConfigDlg::OnFirmwareVersion(std::uint8_t tenths)
{
    form_->SetText(mdc::FirmwareVersion, tr("Firmware Version:V%1").arg(tenths / 10.0, 0, 'f', 1));
}

void CMotorConfigDlg::OnParameterReport(const MotorParams& reported)
{
    // Each box whose text changes goes through the box rules, so a value
    // beyond the box's range ends up at its end, in the box and in the
    // parameter set.
    for (const MotorParamBox& p : kParamBoxes)
        form_->SetText(p.box, QString::number(reported.*p.param));
    for (const DirectionRow& d : kDirections)
        form_->SetChecked(d.checkBox, params_.*d.param == kReversed);
    *valuesKnown_ = true;
    // A board starts with the set its flash keeps.
    if (!*flashSet_ && engine_.BoardSet())
        *flashSet_ = BoardSet();
    UpdateUnflashedMark(false);
    // The board's values replace what was typed; a box the rules had to
    // limit still differs from the board and stays marked.
    for (std::size_t i = 0; i < kParamBoxes.size(); ++i)
        boardValues_[i] = reported.*kParamBoxes[i].param;
    UpdateUnsentMarks();
    ShowStatus(tr("Motor parameters updated!"));
}

void CMotorConfigDlg::OnMonitor(std::uint16_t voltageRaw, std::uint16_t currentRaw)
{
    form_->SetText(mdc::Voltage, Fixed3(voltageRaw * kMotorVoltsPerUnit));
    form_->SetText(mdc::Current, Fixed3(currentRaw * kMotorAmpsPerUnit));
}

void CMotorConfigDlg::OnMotorLost(bool wasConnected)
{
    const QString said = wasConnected ? tr("Motor disconnected!") : form_->Text(mdc::Status);
    // A line that gave back only our own requests is a wiring fault, not a
    // board that is off: the reason follows what the box says.
    if (engine_.Sent().EchoesSinceAnswer() != 0)
        ShowStatus(said + QStringLiteral(" ") +
                   QString::fromStdString(LineEchoesSentence(PortName(link_.OpenedPortNumber()))));
    else if (wasConnected)
        ShowStatus(said);
    form_->Enable(mdc::LoadConfig, false);
}

// ---- firmware upgrade ----------------------------------------------------------

void CMotorConfigDlg::ReleaseLinkForUpgrade()
{
    // The library opens the port itself; the link stays down afterwards
    // until "Open COM Port".
    link_.TakeDown();
}

void CMotorConfigDlg::ShowUpgradeText(std::string_view text)
{
    ShowStatus(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CMotorConfigDlg::SetUpgradeProgress(int position)
{
    form_->SetSliderPos(mdc::Progress, position);
}

void CMotorConfigDlg::EnableUpgradeStart(bool enable)
{
    form_->Enable(mdc::StartUpgrade, enable);
}

void CMotorConfigDlg::EnableUpgradeCancel(bool enable)
{
    form_->Enable(mdc::CancelUpgrade, enable);
}

} // namespace qav
