#pragma once

// The user's locale, as the notes, the summary and the charts take it, for the window and the command
// line alike.

#include "marlix/core/day_analysis.h"

namespace marlix::core {

// Short month names and the time separator from the environment's LC_TIME, the decimal separator from
// its LC_NUMERIC (LC_ALL and LANG as the C library orders them). A category whose locale is not
// installed keeps the C locale's conventions. The process's own C locale is neither read nor changed.
LocaleConventions UserLocaleConventions();

}  // namespace marlix::core
