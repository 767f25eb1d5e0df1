#pragma once

#include <array>

// The numbered controls of the main window's dialog template
// (resources/dialog102.json), by what they are. The numbers are those of the
// template, which creates the controls under them.
enum class Control : int {
    // Commands.
    SetConfigurationButton = 1, // the dialog's OK command, also given by Enter
    RefreshButton = 9,
    ExportButton = 1011,
    PasswordButton = 1014,
    BroadcastButton = 1019,
    ResetIpButton = 1029,

    // The list and what reports on it.
    GatewayList = 1108,
    PasswordStatusLabel = 1016,
    StatusLine = 1091,
    ProgressBar = 1009,

    // Editor: the gateway's identity and network settings.
    MacEdit = 1105,
    IpAddressEdit = 1106,
    SubnetMaskEdit = 1111,
    DefaultGatewayEdit = 1020,

    // Editor: the configuration record.
    ModeLabel = 1006,
    ModeCombo = 1001,
    ModeDescription = 1010,
    PortLabel = 1007,
    PortEdit = 1107,
    PortHint = 1008,
    RemoteAddressLabel = 1002,
    RemoteAddressEdit = 1109,
    RemoteAddressHint = 1003,
    AllowedMaskLabel = 1004,
    AllowedMaskEdit = 1110,
    AllowedMaskHint = 1005,

    // Editor: the serial line.
    SerialSeparator = 1028,
    BaudRateLabel = 1017,
    BaudRateCombo = 1015,
    DataBitsLabel = 1021,
    DataBitsCombo = 1018,
    StopBitsLabel = 1023,
    StopBitsCombo = 1022,
    ParityLabel = 1027,
    ParityCombo = 1026,
    FlowControlLabel = 1025,
    FlowControlCombo = 1024,

    // Editor: the OEM identity (one variant only).
    SetOemCheck = 1013,
    OemTypeCombo = 1012,
};

// Groups of editor controls that change together.
namespace ControlGroup {
inline constexpr std::array<Control, 5> SerialCombos{{
    Control::BaudRateCombo, Control::DataBitsCombo, Control::StopBitsCombo,
    Control::ParityCombo, Control::FlowControlCombo}};
// The serial combo boxes with their labels and the separator above them.
inline constexpr std::array<Control, 11> Serial{{
    Control::BaudRateCombo, Control::DataBitsCombo, Control::StopBitsCombo,
    Control::ParityCombo, Control::FlowControlCombo, Control::BaudRateLabel,
    Control::DataBitsLabel, Control::StopBitsLabel, Control::ParityLabel,
    Control::FlowControlLabel, Control::SerialSeparator}};
inline constexpr std::array<Control, 3> MaskRow{{
    Control::AllowedMaskLabel, Control::AllowedMaskEdit, Control::AllowedMaskHint}};
inline constexpr std::array<Control, 2> RemoteRow{{
    Control::RemoteAddressLabel, Control::RemoteAddressEdit}};
inline constexpr std::array<Control, 2> Oem{{Control::OemTypeCombo, Control::SetOemCheck}};
} // namespace ControlGroup

// The number the template gives a control.
constexpr int controlNumber(Control control) { return static_cast<int>(control); }
