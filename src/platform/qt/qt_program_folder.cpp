#include "platform/qt/qt_program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/program_folder.h"

namespace tidemark {

std::string LocateProgramFolder() {
    const QString executable_folder = QCoreApplication::applicationDirPath();
    const QString user_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const std::string chosen =
        ChooseProgramFolder(executable_folder.toStdString(),
                            QFileInfo(executable_folder).isWritable(), user_folder.toStdString());
    QDir().mkpath(QString::fromStdString(chosen));
    return chosen;
}

}  // namespace tidemark
