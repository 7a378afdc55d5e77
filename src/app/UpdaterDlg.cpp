#include "app/UpdaterDlg.h"

#include "app/DlgCommOption.h"
#include "controls/ColorButton.h"
#include "controls/ColorScheme.h"
#include "params/DlgOptionParam.h"
#include "params/DlgParamAdjust.h"
#include "params/ParamTransfer.h"
#include "res/Pictures.h"
#include "res/Resource.h"
#include "update/DlgUpdateOption.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <algorithm>

namespace {
QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(DrawPicture("icon", QSize(size, size)));
    return icon;
}
} // namespace

CUpdaterDlg::CUpdaterDlg(CDlgPortSettings* portSettings, CDlgUpdate* updateDialog, EditorPlacement editor, QWidget* parent)
    : QDialog(parent), m_builder(IDD_MAIN, this)
{
    setWindowIcon(ProgramIcon());
    CColorScheme::Apply(this, TheColorScheme().whiteBrush, Qt::black);

    auto* about = new QAction(AboutMenuText(), this);
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &CUpdaterDlg::ShowAbout);
    addAction(about);

    if (auto* reg = m_builder.Control<QPushButton>(IDC_REGISTER)) {
        reg->setToolTip("Checks the serial ports: which can be used, and why not");
        connect(reg, &QPushButton::clicked, this, &CUpdaterDlg::accept);
    }
    if (auto* exit = m_builder.Control<QPushButton>(IDC_EXIT))
        connect(exit, &QPushButton::clicked, this, &CUpdaterDlg::reject);

    // The parameter editor's two panels lie hidden over their invisible places; the pages read
    // the mixer mode from the Parameter Option panel (0 until it sets one).
    m_adjust = new CDlgParamAdjust(this, [this] { return m_option != nullptr ? m_option->MixerMode() : 0; },
                                   TheParamTransfer());
    PlacePanel(m_adjust, IDC_PLACE_PARAM_ADJUST, false);
    m_option = new CDlgOptionParam(this, [this] { return m_comm != nullptr && m_comm->IsConnected() != 0; },
                                   TheParamTransfer());
    m_option->AttachPages(m_adjust);
    PlacePanel(m_option, IDC_PLACE_OPTION_PARAM, false);
    if (editor == EditorPlacement::Window)
        BuildEditorWindow();
    m_update = new CDlgUpdateOption(this, updateDialog);
    PlacePanel(m_update, IDC_PLACE_UPDATE, true);
    m_comm = new CDlgCommOption(this, portSettings);
    PlacePanel(m_comm, IDC_PLACE_COMM, true);
    m_comm->SetReadMixerParams([this] { m_option->ReadMixerParams(); });
}

void CUpdaterDlg::PlacePanel(QWidget* panel, int placeholderId, bool shown)
{
    if (QWidget* place = m_builder.Control(placeholderId))
        panel->setGeometry(place->geometry());
    panel->setVisible(shown);
    panel->raise();
}

void CUpdaterDlg::BuildEditorWindow()
{
    // A window of its own that stays usable while this one runs modally, because it is this
    // one's child; closing it only hides it.
    m_editor = new QWidget(this, Qt::Window);
    m_editor->setWindowTitle(EDITOR_TITLE);
    m_editor->setWindowIcon(ProgramIcon());
    m_editor->setAccessibleName(EDITOR_TITLE);
    CColorScheme::Apply(m_editor, TheColorScheme().lightBrush, Qt::black);
    // Each panel at its template's size (in the main window it had its place's).
    auto toEditor = [this](QWidget* panel, const CDialogBuilder& builder) {
        panel->setParent(m_editor);
        panel->resize(builder.ToPixels(0, 0, builder.Template().w, builder.Template().h).size());
    };
    toEditor(m_option, m_option->Builder());
    toEditor(m_adjust, m_adjust->Builder());
    m_option->move(0, 0);
    m_adjust->move(m_option->width(), 0);
    for (int id : {IDC_OP_CONSOLE_BAR, IDC_OP_COMMAND, IDC_OP_ENTER, IDC_OP_RESULT})
        m_option->Control(id)->show();
    m_option->show();
    m_adjust->show();
    m_editor->setFixedSize(m_option->width() + m_adjust->width(), std::max(m_option->height(), m_adjust->height()));

    // The panels fill the window to its edges, as in the main window, so the file entries go
    // into the window's context menu (right mouse button), with their keys.
    m_editor->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto editorEntry = [this](const QString& text, QKeyCombination key, void (CDlgOptionParam::*handler)()) {
        auto* action = new QAction(text, m_editor);
        action->setShortcut(QKeySequence(key));
        connect(action, &QAction::triggered, m_option, handler);
        m_editor->addAction(action);
    };
    editorEntry(SaveParamsMenuText(), Qt::CTRL | Qt::Key_S, &CDlgOptionParam::SaveParamFile);
    editorEntry(LoadParamsMenuText(), Qt::CTRL | Qt::Key_O, &CDlgOptionParam::LoadParamFile);

    auto* show = new QAction("Parameter &Editor", this);
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(show, &QAction::triggered, this, &CUpdaterDlg::ShowEditor);
    addAction(show);
}

void CUpdaterDlg::ShowEditor()
{
    if (m_editor == nullptr)
        return;
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

void CUpdaterDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

namespace {
QString g_portCheckProgram;  // GUI thread only
}

QString CUpdaterDlg::PortCheckProgram()
{
    if (!g_portCheckProgram.isEmpty())
        return g_portCheckProgram;
    return QDir(QCoreApplication::applicationDirPath()).filePath("kmr6650-portcheck");
}

void CUpdaterDlg::SetPortCheckProgram(const QString& path)
{
    g_portCheckProgram = path;
}

void CUpdaterDlg::StartPortCheck()
{
    QProcess::startDetached(PortCheckProgram(), {});
}

void CUpdaterDlg::accept()
{
    StartPortCheck();  // Register: the window stays open
}

void CUpdaterDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addActions(actions());
    menu.exec(event->globalPos());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_builder(IDD_ABOUT, this)
{
    setWindowIcon(ProgramIcon());
    auto* ok = m_builder.Control<QPushButton>(IDOK);
    if (ok)
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Each text stays on its one line. Should the font that stands in for the template's need
    // more room than the template gives, the label widens to its text, and the box and OK move
    // with it.
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty())
            continue;  // a picture, or the empty line
        label->setWordWrap(false);
        const int more = label->sizeHint().width() - label->width();
        if (more <= 0)
            continue;
        label->resize(label->sizeHint().width(), label->height());
        setFixedSize(width() + more, height());
        if (ok)
            ok->move(ok->x() + more, ok->y());
    }
}
