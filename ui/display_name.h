#pragma once

#include <QByteArray>
#include <QString>

namespace slimtag {

// A file or folder name, given in the file system's bytes, as the window shows it: UTF-8 when the
// bytes are valid UTF-8, windows-1251 otherwise, as the pages themselves are read. Decoding
// anything else as UTF-8 would turn every Cyrillic letter into the same replacement mark, so
// that different names look alike.
QString DisplayName(const QByteArray& name);

}  // namespace slimtag
