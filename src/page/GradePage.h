#pragma once

#include <QString>

namespace tallyra {

class Browser;

// The grade page as the main window's commands see it.
namespace GradePage {

// True when the browser shows a grade page: the top document has an element
// named "FCONTENT", the content frame's document has one named "wlist", and
// its form "wlist" has at least one element. Every failure answers false.
bool IsGradePage(Browser *browser);

// Colours the score fields by band, reading the settings now. False when
// the form cannot be read, holds too many students, or changed before the
// colours were written.
bool markColor(Browser *browser);

// What 輸入成績, 預覽 and 更新醒目標示 say of a page whose script does not answer.
inline QString notRespondingText() { return QStringLiteral("成績輸入網頁沒有回應，請重新載入網頁後再試一次。"); }

} // namespace GradePage

} // namespace tallyra
