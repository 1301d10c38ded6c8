#pragma once

#include <marlix/core/user_locale.h>

namespace marlix::ui {

// The window reads the user's locale where the command line does, so that both write the same month
// names and separators (Qt's own month names differ, "Dez." against the C library's "Dez").
using core::UserLocaleConventions;

}  // namespace marlix::ui
