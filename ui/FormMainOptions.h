#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include "Clock.h"
#include "HistoryStations.h"

class QWidget;

namespace marlix::ui {

struct TFormMainOptions {
    // Command-line arguments after the program name; the first may name the data directory.
    QStringList arguments;
    // Folder used when no argument names an existing directory.
    QString programDirectory;
    // The data folder's station name in History; the folder's own name when empty.
    QString label;
    // Folders History compares with the data folder from the start, with their names (empty: the
    // folder's own); History then opens by itself.
    std::vector<THistoryStation> compare;
    // Start-up (data directory, yesterday's day) runs by itself once the window is shown.
    bool runStartup = true;
    std::shared_ptr<const TClock> clock;  // the system clock by default
    // Wait between a change of the local minute and the automatic reload.
    int reloadDelayMs = 1500;
    // A load that runs longer than this shows a progress bar and can be cancelled with Escape.
    int progressAfterMs = 500;
    // Shows an error that left a handler; the window shows a modal box by default.
    std::function<void(const QString& title, const QString& message)> showError;
    // Asks where to save an export, proposing a path; an empty answer cancels. A file dialog by default.
    std::function<QString(const QString& caption, const QString& proposed, const QString& filter)>
        askSavePath;
    // Runs on a load's worker thread before the files are read; tests hold a load there (until
    // they let it go or the load is stopped) to make it long without large files.
    std::function<void(std::stop_token)> beforeAnalysis;
    // The same before each day that History reads.
    std::function<void(std::stop_token)> beforeHistoryDay;
    // Asks for a data folder, starting at the current one; an empty answer cancels. A folder dialog by
    // default.
    std::function<QString(const QString& caption, const QString& current)> askFolder;
};

// The options with what was left out filled in: the system clock, and the dialogs and the error box of
// a desktop program, each opened over the window.
TFormMainOptions WithDefaults(TFormMainOptions options, QWidget& window);

}  // namespace marlix::ui
