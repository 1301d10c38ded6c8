#include "DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "DayDate.h"
#include "RememberedFolders.h"
#include "marlix/core/days.h"

namespace marlix::ui {

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QDate DayOfLog(const QString& path) {
    const auto day = core::DayOfFileName(QFileInfo(path).fileName().toStdString());
    return day ? DateOf(*day) : QDate();
}

// A day is never newer than today: a log dated later is left out of every choice of a day.
core::FolderDays DaysUpTo(const QString& folder, QDate today, std::optional<core::DayTime> first = {}) {
    return core::ListDays(folder.toStdString(), first, DayTimeOf(today));
}

}  // namespace

void TDataFolder::SetPath(const QString& directory) {
    path_ = QString::fromStdString(core::FolderWithSeparator(directory.toStdString()));
}

bool TDataFolder::CheckDays(QDate today) {
    const core::FolderDays listed = DaysUpTo(path_, today);
    holdsDays_ = !listed.days.empty();
    if (holdsDays_) return true;
    if (!listed.problem.empty()) {
        notice_ = QString::fromStdString(listed.problem);
        notice_[0] = notice_[0].toUpper();
    } else if (!core::ListDays(path_.toStdString()).days.empty()) {
        notice_ = "Only day logs dated after today in " + Native(path_);
    } else {
        notice_ = "No day logs in " + Native(path_);
    }
    return false;
}

QStringList TDataFolder::Startup(const QStringList& arguments, const QString& programDirectory, QDate today) {
    notice_.clear();
    if (!arguments.isEmpty()) {
        const QString first = arguments.first();
        const QFileInfo info(first);
        if (info.isDir()) {
            SetPath(first);
            CheckDays(today);
            return {};
        }
        // A broken link is a file that cannot be read: the load says so.
        if (arguments.size() > 1 || info.exists() || info.isSymLink()) return arguments;
    }
    // No folder given, or it is missing: the program's folder if the logs lie beside it, as with
    // a portable copy; an installed program's folder never holds them, so then the folder the user
    // chose last time.
    const QString missing =
        arguments.isEmpty() ? QString() : "Folder not found: " + Native(arguments.first());
    SetPath(programDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : programDirectory);
    const QString program = path_;
    const QString remembered = RememberedFolder(TRememberedFolder::DataFolder);
    if (!CheckDays(today) && !remembered.isEmpty()) {
        SetPath(remembered);
        if (!CheckDays(today) && !QFileInfo(remembered).isDir()) {
            SetPath(program);
            holdsDays_ = false;
        }
    }
    // Nothing to show: the notice asks for the folder and names the one looked in.
    if (!holdsDays_) notice_ = "No day logs in " + Native(path_) + ": choose their folder";
    if (!missing.isEmpty())
        notice_ = holdsDays_ ? missing : missing + "; " + notice_[0].toLower() + notice_.mid(1);
    return {};
}

TOpenedFiles TDataFolder::OpenFiles(const QStringList& files, QDate otherwise) {
    TOpenedFiles opened;
    for (const QString& file : files) opened.paths << QFileInfo(file).absoluteFilePath();
    SetPath(QFileInfo(opened.paths.first()).absolutePath());
    holdsDays_ = true;
    const QDate day = DayOfLog(opened.paths.first());
    opened.day = day.isValid() ? day : otherwise;
    return opened;
}

QDate TDataFolder::Open(const QString& folder, QDate yesterday) {
    SetPath(folder);
    RememberFolder(TRememberedFolder::DataFolder, QFileInfo(folder).absoluteFilePath());
    const QDate today = yesterday.addDays(1);
    if (!CheckDays(today)) return yesterday;
    const std::vector<core::DayTime> days = DaysUpTo(path_, today).days;
    if (std::binary_search(days.begin(), days.end(), DayTimeOf(yesterday))) return yesterday;
    return DateOf(days.back());
}

std::optional<QDate> TDataFolder::EarlierDay(QDate shown) const {
    const std::vector<core::DayTime> days =
        core::ListDays(path_.toStdString(), {}, DayTimeOf(shown) - 1).days;
    if (days.empty()) return std::nullopt;
    return DateOf(days.back());
}

std::optional<QDate> TDataFolder::LaterDay(QDate shown, QDate today) const {
    if (shown >= today) return std::nullopt;
    const std::vector<core::DayTime> days = DaysUpTo(path_, today, DayTimeOf(shown) + 1).days;
    if (days.empty()) return std::nullopt;
    return DateOf(days.front());
}

QString TDataFolder::TakeNotice() {
    return std::exchange(notice_, QString());
}

}  // namespace marlix::ui
