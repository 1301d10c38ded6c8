#include "RememberedFolders.h"

#include <QSettings>

namespace marlix::ui {

namespace {

const char* Key(TRememberedFolder which) {
    return which == TRememberedFolder::DataFolder ? "folders/data" : "folders/export";
}

// A file of its own under the user's configuration folder (XDG_CONFIG_HOME), whatever the
// application's names.
QSettings Settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "marlix", "marlix-sqa");
}

}  // namespace

QString RememberedFolder(TRememberedFolder which) {
    return Settings().value(Key(which)).toString();
}

void RememberFolder(TRememberedFolder which, const QString& folder) {
    Settings().setValue(Key(which), folder);
}

}  // namespace marlix::ui
