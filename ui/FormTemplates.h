#pragma once

#include "ListLabels.h"
#include "TavrenodeVersion.h"

#include <array>
#include <span>
#include <string_view>

// The two forms as data: every control with its identifier, kind, text and place in
// dialog units, in tab order. ui/FormBuilder turns a template into widgets.
namespace tavrenode::forms {

enum class Kind {
    PushButton,
    DefaultPushButton,
    GroupBox,
    Label, // left-aligned
    LabelRight,
    LabelCentre,
    LabelPlain, // left-aligned, "&" shown as it is
    Edit,
    DropDown,
    DropDownScrolled, // its open list shows a scroll bar even when every line fits
    CheckBox,
    Icon,
};

struct Control {
    int id; // -1: a static control nobody refers to
    Kind kind;
    std::string_view text;
    int x, y, width, height; // dialog units; for a drop-down, height is that of the open list
    bool tabStop;
};

struct Template {
    int resource;
    std::string_view caption;
    int width, height;
    int pointSize; // of the form's font
    std::span<const Control> controls;
};

// Identifiers the code refers to.
namespace id {
inline constexpr int Ok = 1;
inline constexpr int Close = 2;
inline constexpr int Program = 1000;
inline constexpr int ComPort = 1001;
inline constexpr int StatusPin = 1002;
inline constexpr int BaudRate = 1003;
inline constexpr int DeviceType = 1004;
inline constexpr int LimitedDiscoverable = 1005;
inline constexpr int DeviceName = 1006;
inline constexpr int MatingMode = 1007;
inline constexpr int SecurityMode = 1010;
inline constexpr int Positioning = 1011;
inline constexpr int Networking = 1012;
inline constexpr int Rendering = 1013;
inline constexpr int Capturing = 1014;
inline constexpr int ObjectTransfer = 1015;
inline constexpr int Audio = 1016;
inline constexpr int Telephony = 1017;
inline constexpr int Information = 1018;
inline constexpr int Keyboard = 1019;
inline constexpr int PointingDevice = 1020;
inline constexpr int Display = 1021;
inline constexpr int Printer = 1022;
inline constexpr int Camera = 1023;
inline constexpr int Scanner = 1024;
inline constexpr int PairMatchPrefix = 1025;
inline constexpr int Pin = 1026;
inline constexpr int MasterSlave = 1027;
inline constexpr int RunStatus = 1100;  // ours: the outcome of the last programming run
inline constexpr int BuildStamp = 1007; // on the About box
inline constexpr int AppIcon = 131;
} // namespace id

inline constexpr auto kConfigControls = std::to_array<Control>({
    {id::Close, Kind::PushButton, "Close", 267, 281, 50, 16, true},
    {-1, Kind::GroupBox, "Bluetooth Programming", 7, 264, 333, 63, false},
    {id::Program, Kind::PushButton, "Program Tavrenode Now", 142, 281, 97, 16, true},
    {id::ComPort, Kind::Edit, "", 70, 281, 46, 16, true},
    {-1, Kind::LabelRight, "Connected to COM port", 22, 281, 45, 22, false},
    {-1, Kind::LabelRight, labels::kStatusPinName, 21, 17, 52, 8, false},
    {id::StatusPin, Kind::DropDown, "", 81, 15, 259, 159, true},
    {-1, Kind::LabelRight, labels::kBaudRateName, 21, 36, 52, 8, false},
    {id::BaudRate, Kind::DropDown, "", 81, 34, 259, 159, true},
    {-1, Kind::LabelRight, labels::kDeviceTypeName, 21, 55, 52, 8, false},
    {id::DeviceType, Kind::DropDownScrolled, "", 81, 53, 259, 159, true},
    {-1, Kind::LabelRight, labels::kMatingModeName, 21, 181, 52, 8, false},
    {id::MatingMode, Kind::DropDown, "", 81, 178, 259, 159, true},
    {-1, Kind::LabelRight, "Pair match prefix", 7, 162, 66, 8, false},
    {-1, Kind::LabelRight, "Pin code", 21, 200, 52, 8, false},
    {-1, Kind::LabelRight, labels::kSecurityModeName, 21, 219, 52, 8, false},
    {id::SecurityMode, Kind::DropDown, "", 81, 217, 259, 159, true},
    {id::LimitedDiscoverable, Kind::CheckBox, "Limited discoverable", 82, 73, 80, 10, true},
    {id::Positioning, Kind::CheckBox, "Positioning", 179, 73, 50, 10, true},
    {-1, Kind::LabelRight, "Services", 19, 74, 52, 8, false},
    {id::Networking, Kind::CheckBox, "Networking", 269, 73, 52, 10, true},
    {id::Rendering, Kind::CheckBox, "Rendering", 82, 85, 49, 10, true},
    {id::Capturing, Kind::CheckBox, "Capturing", 179, 85, 47, 10, true},
    {id::ObjectTransfer, Kind::CheckBox, "Object transfer", 269, 85, 65, 10, true},
    {id::Audio, Kind::CheckBox, "Audio", 82, 97, 34, 10, true},
    {id::Telephony, Kind::CheckBox, "Telephony", 179, 97, 49, 10, true},
    {id::Information, Kind::CheckBox, "Information", 269, 97, 53, 10, true},
    {id::Keyboard, Kind::CheckBox, "Keyboard", 82, 109, 47, 10, true},
    {id::PointingDevice, Kind::CheckBox, "Pointing device", 179, 109, 64, 10, true},
    {id::Display, Kind::CheckBox, "Display", 269, 109, 39, 10, true},
    {id::Printer, Kind::CheckBox, "Printer", 269, 121, 37, 10, true},
    {id::Camera, Kind::CheckBox, "Camera", 82, 121, 41, 10, true},
    {id::Scanner, Kind::CheckBox, "Scanner", 179, 121, 42, 10, true},
    {id::DeviceName, Kind::Edit, "", 81, 140, 259, 12, true},
    {-1, Kind::LabelRight, "Device name", 21, 143, 52, 8, false},
    {id::PairMatchPrefix, Kind::Edit, "", 81, 160, 259, 12, true},
    {id::Pin, Kind::Edit, "", 81, 196, 259, 12, true},
    {-1, Kind::LabelCentre, "(connect before clicking here)", 143, 297, 96, 8, false},
    {-1, Kind::LabelRight, labels::kMasterSlaveName, 7, 241, 68, 8, false},
    {id::MasterSlave, Kind::DropDown, "", 81, 239, 259, 159, true},
    // Below the group's controls, which stay where they are; the group and the form grow.
    {id::RunStatus, Kind::Label, "", 14, 312, 319, 9, false},
});

inline constexpr Template kConfigForm{
    102, "Tavrenode Configuration Tool", 347, 334, 8, kConfigControls};

// The maker's notice is ours to word.
inline constexpr auto kAboutControls = std::to_array<Control>({
    {-1, Kind::LabelPlain, version::kProductTitle, 40, 7, 119, 8, false},
    {-1, Kind::Label, "Made by the Tavrenode team", 40, 25, 119, 8, false},
    {id::Ok, Kind::DefaultPushButton, "OK", 178, 7, 50, 16, true},
    {id::BuildStamp, Kind::Label, "", 40, 44, 119, 8, false},
    {id::AppIcon, Kind::Icon, "", 7, 7, 21, 20, false},
});

inline constexpr Template kAboutForm{
    100, "About Tavrenode Configuration Tool", 235, 68, 8, kAboutControls};

// Context-help topics are numbered from here plus the form's resource number.
inline constexpr unsigned kHelpTopicBase = 0x20000;

} // namespace tavrenode::forms

namespace tavrenode::strings {
// The About item of the window's menu (string 101).
inline constexpr std::string_view kAboutMenuItem = "&About Tavrenode Config...";
// The profile items of the same menu.
inline constexpr std::string_view kSaveProfileItem = "Save settings as...";
inline constexpr std::string_view kLoadProfileItem = "Load settings from...";
// Programming a module straight over Bluetooth, beside them.
inline constexpr std::string_view kBluetoothItem = "Program over Bluetooth...";
// Shown when Windows' socket layer cannot be started (string 103).
inline constexpr std::string_view kSocketsFailed = "Windows sockets initialization failed.";
} // namespace tavrenode::strings
