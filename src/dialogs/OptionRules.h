#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace tallyra::OptionRules {

struct Entries {
    QString reportThreshold;
    QString threshold1;
    QString threshold2;
};

struct Verdict {
    int failedCheck = 0; // 1..6, 0 when every check passed
    QString message;
    // The values to store, rounded half to even; meaningful when passed.
    quint8 reportThreshold = 0;
    quint8 threshold1 = 0;
    quint8 threshold2 = 0;
    bool passed() const { return failedCheck == 0; }
};

// The six checks of "確定", in order; the first failure decides. Ranges are
// checked on the values as they will be stored, so ".5" (stored 0) fails.
Verdict check(const Entries &entries);

// The band label after its threshold box changed to `text`: "分～N分" with
// N one less than the value, or nothing when the text is not a positive number.
std::optional<QString> bandUpperLabel(const QString &text);

} // namespace tallyra::OptionRules
