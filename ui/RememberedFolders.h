#pragma once

#include <QString>

namespace marlix::ui {

// Folders the window remembers from one run to the next, in the user's configuration.
enum class TRememberedFolder { DataFolder, ExportFolder };

// Empty when none was remembered.
QString RememberedFolder(TRememberedFolder which);
void RememberFolder(TRememberedFolder which, const QString& folder);

}  // namespace marlix::ui
