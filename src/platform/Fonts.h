#pragma once

#include <QFont>

namespace tallyra::Fonts {

// The designed families first, then what a Linux desktop is likely to have.
QFont ming(qreal pointSize);    // 新細明體
QFont kai(qreal pointSize);     // 標楷體
QFont tahoma(qreal pointSize);  // Tahoma

} // namespace tallyra::Fonts
