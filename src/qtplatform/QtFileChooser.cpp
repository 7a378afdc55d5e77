#include "qtplatform/QtFileChooser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QStringList>
#include <QThread>
#include <QTreeView>
#include <algorithm>

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

QString ChooserStartFolder(const std::string& lastChosen)
{
    if (!lastChosen.empty()) {
        const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(lastChosen)));
        const QDir folder = file.absoluteDir();
        if (folder.exists())
            return folder.absolutePath();
    }
    return QDir::homePath();
}

QSize ChooserSize(QSize available)
{
    return CHOOSER_SIZE.boundedTo(available);
}

namespace {
std::string g_lastChosen;  // the last file chosen through the dialog in this run; GUI thread only

// The detail view with every column readable: size, type and date as wide as their contents,
// the name column taking the rest of the width.
void ShowDetails(QFileDialog& dialog)
{
    dialog.setViewMode(QFileDialog::Detail);
    auto* details = dialog.findChild<QTreeView*>("treeView");
    if (!details)
        return;
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance("0000000000"));
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
}

std::string ShowFileDialog(const std::string& filter, const std::string& defaultExtension,
                           const std::string& initialName, bool mustExist)
{
    if (!qApp || QThread::currentThread() != qApp->thread()) {
        qWarning("QtFileChooser: the file dialog can be shown only from the GUI thread");
        return {};
    }
    // Over the window the user works in: the active one (the editor window stays usable beside
    // the main window that runs modally), else the modal one.
    QWidget* owner = QApplication::activeWindow();
    if (!owner)
        owner = QApplication::activeModalWidget();
    QFileDialog dialog(owner);
    // Qt's own dialog, the same on every desktop, so that its size and columns can be set.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // A new name may be chosen only to save: the dialog then says Save, and asks before an
    // existing file is replaced.
    dialog.setAcceptMode(mustExist ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QString filters = QtNameFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters.split(";;"));
    dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    // A proposed name with a folder (the caller's last file of its kind) opens in that folder.
    const bool nameHasFolder = initialName.find('/') != std::string::npos;
    dialog.setDirectory(ChooserStartFolder(nameHasFolder ? initialName : g_lastChosen));
    dialog.selectFile(QFileInfo(QFile::decodeName(QByteArray::fromStdString(initialName))).fileName());
    ShowDetails(dialog);
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    dialog.resize(screen ? ChooserSize(screen->availableGeometry().size()) : CHOOSER_SIZE);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    g_lastChosen = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    return g_lastChosen;
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
