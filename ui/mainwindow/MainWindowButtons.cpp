#include "MainWindowButtons.h"

#include "IconButton.h"

namespace MainWindowButtons {

void attach(const ControlLookup &control)
{
    for (const Entry &entry : Entries) {
        if (auto *button = qobject_cast<IconButton *>(control(entry.control))) {
            button->SetIcon(entry.idleIcon);
            button->SetFlat(false, true);
        }
    }
}

void showBusy(const ControlLookup &control, bool busy)
{
    for (const Entry &entry : Entries) {
        if (entry.idleIcon == entry.busyIcon)
            continue;
        if (auto *button = qobject_cast<IconButton *>(control(entry.control)))
            button->SetIcon(busy ? entry.busyIcon : entry.idleIcon);
    }
}

} // namespace MainWindowButtons
