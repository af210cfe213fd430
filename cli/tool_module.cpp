#include "tool_module.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>

void LocateToolModule(QLibrary &module, const char *name) {
    const QString folder = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    for (const QString &dir : {folder, folder + "/" KTAV_MODULE_DIR}) {
        module.setFileName(dir + "/" + name);
        if (QFile::exists(module.fileName())) return;
    }
}
