#include "DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "DayDate.h"
#include "marlix/core/days.h"

namespace marlix::ui {

namespace {

// The days of a folder that have a log, oldest first.
std::vector<core::DayTime> DayLogs(const QString& directory) {
    return core::ListDays(directory.toStdString(), std::nullopt, std::nullopt).days;
}

QDate DayOfLog(const QString& path) {
    const auto day = core::DayOfFileName(QFileInfo(path).fileName().toStdString());
    return day ? DateOf(*day) : QDate();
}

QString NoDayLogsNotice(const QString& directory) {
    return "No day logs in " + QDir::toNativeSeparators(directory);
}

}  // namespace

void TDataFolder::SetPath(const QString& directory) {
    path_ = QString::fromStdString(core::FolderWithSeparator(directory.toStdString()));
}

bool TDataFolder::HasDay(QDate date) const {
    return core::DayLogExists(path_.toStdString(), DayTimeOf(date));
}

QStringList TDataFolder::Startup(const QStringList& arguments, const QString& programDirectory) {
    SetPath(programDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : programDirectory);
    QString notice;
    if (!arguments.isEmpty()) {
        const QString first = arguments.first();
        const QFileInfo info(first);
        if (info.isDir()) {
            SetPath(first);
            if (DayLogs(path_).empty()) notice = NoDayLogsNotice(path_);
        } else if (arguments.size() > 1 || info.exists()) {
            return arguments;
        } else {
            notice = "Folder not found: " + QDir::toNativeSeparators(first);
        }
    }
    notice_ = notice;
    return {};
}

TOpenedFiles TDataFolder::OpenFiles(const QStringList& files, QDate otherwise) {
    TOpenedFiles opened;
    for (const QString& file : files) opened.paths << QFileInfo(file).absoluteFilePath();
    SetPath(QFileInfo(opened.paths.first()).absolutePath());
    const QDate day = DayOfLog(opened.paths.first());
    opened.day = day.isValid() ? day : otherwise;
    return opened;
}

QDate TDataFolder::Open(const QString& folder, QDate yesterday) {
    SetPath(folder);
    const std::vector<core::DayTime> days = DayLogs(path_);
    if (days.empty()) notice_ = NoDayLogsNotice(path_);
    if (days.empty() || std::binary_search(days.begin(), days.end(), DayTimeOf(yesterday))) return yesterday;
    return DateOf(days.back());
}

QString TDataFolder::TakeNotice() {
    return std::exchange(notice_, QString());
}

}  // namespace marlix::ui
