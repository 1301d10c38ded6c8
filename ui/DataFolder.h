#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace marlix::ui {

// Log files opened in place of a folder: their full paths and the day to show among their neighbours.
struct TOpenedFiles {
    QStringList paths;
    QDate day;
};

// The folder the day files are read from, and the choices about it: which folder start-up takes,
// which day an opened folder shows first, the neighbouring days that have logs, and what the window
// says about a folder that has no day logs or does not exist.
class TDataFolder {
  public:
    // Ends in '/'; empty until start-up has run.
    const QString& Path() const { return path_; }
    // An empty directory stays empty: names are then ordinary paths.
    void SetPath(const QString& directory);
    // False after start-up or an opened folder found no day logs up to today: the user is to
    // choose the folder.
    bool HoldsDays() const { return holdsDays_; }

    // Start-up: the folder the first argument names; else the program's folder (the program file's
    // own when none is given) if it holds day logs; else the folder last opened by the user; else
    // the program's folder, which holds none. Log files named in place of a folder are returned, to
    // be opened as a drop of them; otherwise nothing.
    QStringList Startup(const QStringList& arguments, const QString& programDirectory, QDate today);
    // The files' folder becomes the data folder; the day is the first file's, else `otherwise`.
    TOpenedFiles OpenFiles(const QStringList& files, QDate otherwise);
    // A folder the user chose, remembered for the next start: the day it shows first, yesterday
    // when the folder holds that day's log or none at all, else its newest day up to today.
    QDate Open(const QString& folder, QDate yesterday);

    // The newest day before `shown` that has a log; nothing when none has.
    std::optional<QDate> EarlierDay(QDate shown) const;
    // The oldest day after `shown` and not after today that has a log; nothing when none has.
    std::optional<QDate> LaterDay(QDate shown, QDate today) const;

    // What the latest choice found wrong with the folder, for the next load to show with its outcome;
    // taking it clears it.
    QString TakeNotice();
    void SetNotice(const QString& notice) { notice_ = notice; }

  private:
    // Whether the folder holds day logs up to today; otherwise the notice says why not.
    bool CheckDays(QDate today);

    QString path_;
    QString notice_;
    bool holdsDays_ = true;
};

}  // namespace marlix::ui
