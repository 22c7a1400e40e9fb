#include <QApplication>
#include <QLabel>

// The main window is still being built; until it lands the program says so plainly.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidemark"));
    QLabel notice(QStringLiteral("Tidemark: the main window is not built yet.\n"
                                 "Use tidemark-bench run SOURCE DESTINATION meanwhile."));
    notice.setWindowTitle(QStringLiteral("Tidemark"));
    notice.setMargin(24);
    notice.show();
    return application.exec();
}
