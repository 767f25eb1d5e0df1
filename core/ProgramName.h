#pragma once

#include "DeviceTables.h"

#include <QString>

#include <optional>

// What the program learns from the name it was started under (argv[0], not the
// resolved executable path: the variants are symlinks to one binary).
namespace ProgramName {

// The file name after the last folder separator ('/', and '\\' on Windows),
// or the whole text when it has none. Paths of any length are accepted.
QString fileName(const QString &programPath);

// The file name without its extension, spelled as given: the application
// name that captions message boxes and names the settings store.
QString applicationName(const QString &programPath);

// The product variant whose executable name equals the upper-cased file name.
// Where executables carry no extension, a name without one is compared as if
// it ended in ".EXE", so "ovipgwadmin" is variant 0 just like "OVIPGWADMIN.EXE".
std::optional<ProductVariant> variant(const QString &programPath);

} // namespace ProgramName
