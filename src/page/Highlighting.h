#pragma once

#include "core/Settings.h"
#include "page/FormSnapshot.h"

#include <QString>

#include <optional>

namespace tallyra {

namespace Highlighting {

constexpr int kPassMark = 60;
constexpr qint32 kWhite = 16777215;

// The colour (0x00BBGGRR) of a field whose leading-number value is `value`.
qint32 bandColour(double value, const Settings &settings);

// 0x00BBGGRR -> "#RRGGBB", by character positions of the hexadecimal text.
QString ColorToHtml(qint32 colour);

// Every colour the run writes, decided before anything is written: each
// student's own score field (a repeated ID's second field too), or every
// shared-name field. Nothing when the student-ID list overflows.
std::optional<QVector<FieldWrite>> plan(const FormSnapshot &snapshot, const Settings &settings);

} // namespace Highlighting

} // namespace tallyra
