#pragma once

#include <QByteArray>
#include <QStringView>

// Text in the 8-bit character set of the Windows side (code page 1252, the
// "ANSI" code page of western European systems), so that a file written
// here opens there as one written by the Windows tool. Characters the code
// page lacks become '?', as the Windows conversion makes them.
QByteArray toWindows1252(QStringView text);

// True when every character of `text` has its own byte in the code page, so
// that no two different texts come out as the same bytes.
bool isWindows1252Encodable(QStringView text);
