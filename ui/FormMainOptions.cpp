#include "FormMainOptions.h"

#include <QFileDialog>
#include <QMessageBox>
#include <utility>

namespace marlix::ui {

TFormMainOptions WithDefaults(TFormMainOptions options, QWidget& window) {
    if (!options.clock) options.clock = std::make_shared<TClock>();
    if (!options.showError) {
        options.showError = [&window](const QString& title, const QString& message) {
            QMessageBox::critical(&window, title, message);
        };
    }
    if (!options.askFolder) {
        options.askFolder = [&window](const QString& caption, const QString& current) {
            return QFileDialog::getExistingDirectory(&window, caption, current);
        };
    }
    if (!options.askSavePath) {
        options.askSavePath = [&window](const QString& caption, const QString& proposed,
                                        const QString& filter) {
            return QFileDialog::getSaveFileName(&window, caption, proposed, filter);
        };
    }
    return options;
}

}  // namespace marlix::ui
