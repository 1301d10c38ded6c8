#include "DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

#include "DayDate.h"

namespace marlix::ui {

namespace {

// The day log files of a folder, oldest first.
QStringList DayLogs(const QString& directory) {
    QStringList logs;
    const QRegularExpression dayName("^\\d{4}-\\d{2}-\\d{2}_rx_data\\.txt$");
    for (const QString& name : QDir(directory).entryList(QDir::Files, QDir::Name)) {
        if (dayName.match(name).hasMatch()) logs << name;
    }
    return logs;
}

QDate DayOfLog(const QString& name) {
    return QDate::fromString(QFileInfo(name).fileName().left(10), "yyyy-MM-dd");
}

QString NoDayLogsNotice(const QString& directory) {
    return "No day logs in " + QDir::toNativeSeparators(directory);
}

}  // namespace

void TDataFolder::SetPath(const QString& directory) {
    path_ = directory.isEmpty() || directory.endsWith('/') ? directory : directory + '/';
}

bool TDataFolder::HasDay(QDate date) const {
    return QFileInfo::exists(path_ + DayFileName(date));
}

QStringList TDataFolder::Startup(const QStringList& arguments, const QString& programDirectory) {
    SetPath(programDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : programDirectory);
    QString notice;
    if (!arguments.isEmpty()) {
        const QString first = arguments.first();
        const QFileInfo info(first);
        if (info.isDir()) {
            SetPath(first);
            if (DayLogs(path_).isEmpty()) notice = NoDayLogsNotice(path_);
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
    const QStringList logs = DayLogs(path_);
    if (logs.isEmpty()) notice_ = NoDayLogsNotice(path_);
    if (logs.isEmpty() || logs.contains(DayFileName(yesterday))) return yesterday;
    return DayOfLog(logs.last());
}

QString TDataFolder::TakeNotice() {
    return std::exchange(notice_, QString());
}

}  // namespace marlix::ui
