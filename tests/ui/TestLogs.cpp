#include "TestLogs.h"

#include <QFile>
#include <QTextStream>

namespace marlix::ui::test {

QString RecordBlocks(const QDateTime& from, const QDateTime& to, bool control) {
    QString text;
    QTextStream out(&text);
    for (QDateTime t = from; t <= to; t = t.addSecs(1)) {
        out << "UTC Time  : " << t.toString("hh:mm:ss dd/MM/yy") << "\r\n";
        out << (control ? "PDOP; sats: 2\r\n" : "PDOP      : 2\r\n");
        out << "Sat PRN   : 3,7,12,19,24,31\r\n";
        out << "Sat level : 5,6,7,4,3,0\r\n";
        out << (control ? "Fix, Mode: 3D Control\r\n" : "Fix, Mode: 3D Fine\r\n");
    }
    return text;
}

QString WriteFile(const QString& dir, const QString& name, const QString& text) {
    const QString path = dir + '/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(text.toUtf8());
    return path;
}

QString DayName(QDate date) {
    return date.toString("yyyy-MM-dd") + "_rx_data.txt";
}

}  // namespace marlix::ui::test
