#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace marlix::ui {

// Log files opened in place of a folder: their full paths and the day to show among their neighbours.
struct TOpenedFiles {
    QStringList paths;
    QDate day;
};

// The folder the day files are read from, and the choices about it: which folder start-up takes from
// the command line, which day an opened folder shows first, and what the window says about a folder
// that has no day logs or does not exist.
class TDataFolder {
  public:
    // Ends in '/'; empty until start-up has run.
    const QString& Path() const { return path_; }
    // An empty directory stays empty: names are then ordinary paths.
    void SetPath(const QString& directory);
    bool HasDay(QDate date) const;

    // Start-up: the program's folder (the program file's own when none is given), or the first argument
    // when it names a folder. Log files named in its place are returned, to be opened as a drop of
    // them; otherwise nothing.
    QStringList Startup(const QStringList& arguments, const QString& programDirectory);
    // The files' folder becomes the data folder; the day is the first file's, else `otherwise`.
    TOpenedFiles OpenFiles(const QStringList& files, QDate otherwise);
    // A folder the user chose: the day it shows first, yesterday when the folder holds that day's log or
    // none at all, else its newest day.
    QDate Open(const QString& folder, QDate yesterday);

    // What the latest choice found wrong with the folder, for the next load to show with its outcome;
    // taking it clears it.
    QString TakeNotice();

  private:
    QString path_;
    QString notice_;
};

}  // namespace marlix::ui
