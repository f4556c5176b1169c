#pragma once

#include <QString>

namespace tallyra::LogicalFormula {

// Whether a formula (in the office's English form, "=B2>=60") may give
// TRUE or FALSE: a comparison at its top level, a logical function or
// constant as its whole, or a branch of IF, IFERROR, IFNA, CHOOSE or SWITCH
// that does. The office shows such a result as 1 or 0 when it kept the
// file's cached value without working the formula out, so this is what
// tells a boolean from a score there. It errs towards "may": a score that
// such a formula gives is never written, only reported.
bool mayBeLogical(const QString &formula);

} // namespace tallyra::LogicalFormula
