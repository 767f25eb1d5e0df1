#pragma once

#include "MainWindowControls.h"

#include <QWidget>

#include <array>
#include <functional>

// The six buttons of the main window that show icons, in the order they are
// dressed, with the icon each shows at rest and while a run is in progress.
namespace MainWindowButtons {

struct Entry
{
    Control control;
    int idleIcon;
    int busyIcon;
};

inline constexpr std::array<Entry, 6> Entries{{
    {Control::RefreshButton, 134, 136},
    {Control::SetConfigurationButton, 133, 135},
    {Control::ExportButton, 137, 137},
    {Control::PasswordButton, 139, 139},
    {Control::BroadcastButton, 150, 150},
    {Control::ResetIpButton, 153, 153},
}};

using ControlLookup = std::function<QWidget *(Control control)>;

// Gives each button its idle icon and the raised look.
void attach(const ControlLookup &control);
// Swaps in the busy icons (true) or the idle ones again (false).
void showBusy(const ControlLookup &control, bool busy);

} // namespace MainWindowButtons
