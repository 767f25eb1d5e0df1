#pragma once

#include <QWidget>

#include <array>
#include <functional>

// The six buttons of the main window that show icons, in the order they are
// dressed, with the icon each shows at rest and while a run is in progress.
namespace MainWindowButtons {

struct Entry
{
    int control;
    int idleIcon;
    int busyIcon;
};

inline constexpr std::array<Entry, 6> Entries{{
    {9, 134, 136},    // Refresh list
    {1, 133, 135},    // Set configuration
    {1011, 137, 137}, // Export list
    {1014, 139, 139}, // Password
    {1019, 150, 150}, // Broadcast addr.
    {1029, 153, 153}, // Reset IP-Adr.
}};

using ControlLookup = std::function<QWidget *(int control)>;

// Gives each button its idle icon and the raised look.
void attach(const ControlLookup &control);
// Swaps in the busy icons (true) or the idle ones again (false).
void showBusy(const ControlLookup &control, bool busy);

} // namespace MainWindowButtons
