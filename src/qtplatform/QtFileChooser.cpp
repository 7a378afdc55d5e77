#include "qtplatform/QtFileChooser.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <QThread>

QString QtNameFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    // Entries come in pairs, description then pattern; a trailing '|' leaves one empty part.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        filters << QString("%1 (%2)").arg(parts[i], patterns.simplified());
    }
    return filters.join(";;");
}

namespace {
std::string ShowFileDialog(const std::string& filter, const std::string& defaultExtension,
                           const std::string& initialName, bool mustExist)
{
    if (!qApp || QThread::currentThread() != qApp->thread()) {
        qWarning("QtFileChooser: the file dialog can be shown only from the GUI thread");
        return {};
    }
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QString filters = QtNameFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters.split(";;"));
    dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    dialog.selectFile(QString::fromStdString(initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}
} // namespace

kmr::FileChooser QtFileChooser()
{
    return ShowFileDialog;
}

kmr::FileChooser InstallQtFileChooser()
{
    return kmr::SetFileChooser(QtFileChooser());
}
