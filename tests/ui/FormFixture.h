#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "TestLogs.h"
#include "ui/FormMain.h"

// Failures then show the text itself rather than its bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace marlix::ui::test {

// A window on a temporary data directory, with a hand-driven clock and errors collected.
class FormFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(programDir.isValid());
    }

    std::unique_ptr<TFormMain> MakeForm(QStringList arguments = {}) {
        TFormMainOptions options;
        options.arguments = std::move(arguments);
        options.programDirectory = programDir.path();
        options.runStartup = false;
        options.clock = clock;
        options.reloadDelayMs = 0;
        options.showError = [this](const QString& title, const QString& message) {
            errors.emplace_back(title, message);
        };
        auto form = std::make_unique<TFormMain>(std::move(options));
        form->SetDataDirectory(dataDir.path());
        form->show();
        QApplication::processEvents();
        return form;
    }

    // A short log of the given day from 10:00:00 to 10:02:30.
    QString WriteDay(QDate date, bool control = false) {
        return WriteFile(dataDir.path(), DayName(date),
                         RecordBlocks(QDateTime(date, QTime(10, 0, 0), Qt::UTC),
                                      QDateTime(date, QTime(10, 2, 30), Qt::UTC), control));
    }

    const QDate today{2026, 3, 15};
    const QDate yesterday{2026, 3, 14};
    QTemporaryDir dataDir;
    QTemporaryDir programDir;
    std::shared_ptr<TFakeClock> clock = std::make_shared<TFakeClock>();
    std::vector<std::pair<QString, QString>> errors;
};

}  // namespace marlix::ui::test
