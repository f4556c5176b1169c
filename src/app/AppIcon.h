#pragma once

#include <QIcon>

namespace tallyra::AppIcon {

// The window icon, drawn rather than shipped as an image: a gradebook sheet
// with a tick on a dark green board.
QIcon icon();

} // namespace tallyra::AppIcon
