// The window program: marlix-sqa [DATA-DIRECTORY]
#include <QApplication>

#include "ui/FormMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("marlix-sqa");
    // Error boxes carry the application's title; equal to the caption, so that no
    // window manager appends it to the caption a second time.
    QApplication::setApplicationDisplayName("Marlix 2931T - Signal Quality Analysis");

    marlix::ui::TFormMainOptions options;
    options.arguments = QApplication::arguments().mid(1);
    options.programDirectory = QApplication::applicationDirPath();
    marlix::ui::TFormMain form(std::move(options));
    form.show();
    return QApplication::exec();
}
