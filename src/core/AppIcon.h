#pragma once

#include <QIcon>

namespace tallyra::AppIcon {

// The window icon, drawn rather than shipped as an image: a gradebook sheet
// with a tick on a dark green board. The menu's PNG icons are drawn by the
// same code when the packages are built; the scalable one follows it.
QIcon icon();
QPixmap pixmap(int size);

} // namespace tallyra::AppIcon
