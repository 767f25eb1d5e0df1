#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The password the configuration window keeps for its all-types variant
// (ovipgwadmin, the one whose gateways `ovipgw` reads too): from the
// desktop keyring, or from the settings file where it still is there.
namespace StoredPassword {

// The stored password when the window's password protection (UsePW) is on
// and a password is stored; then says on `err` that it is used and from
// where. Nothing otherwise: with protection off the window reads and
// writes without a password, and so does `ovipgw`.
std::optional<QString> read(QByteArray *err);

} // namespace StoredPassword
