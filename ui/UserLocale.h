#pragma once

#include <marlix/core/analysis.h>

namespace marlix::ui {

// The user's locale as the analysis and the charts take it: short month names, the decimal
// separator and the time separator of the short time format.
core::LocaleConventions UserLocaleConventions();

}  // namespace marlix::ui
