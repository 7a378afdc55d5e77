#include "update/DlgUpdate.h"

#include "controls/ColorScheme.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "protocol/ProtocolAppUpdate.h"
#include "res/Resource.h"
#include "update/UpdateFile.h"
#include "update/UpdateStatus.h"

#include <QAbstractButton>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

// The controls, texts and operations of one section (software or speaker EQ presets). Both
// sections run the same code over their own row of this table.
struct CDlgUpdate::Section {
    int enable, select, file, start, status, percent, progress;
    WPARAM base;         // the section's codes: phases base + 0..8, progress base + 16..18
    const char* name;    // the section's frame caption, which names its file box and bar
    const char* noFile;  // "Start Update" without a chosen file
    const char* warning; // the question before an update starts
    bool (CUpdateFile::*open)();
    bool (CUpdateFile::*isOpen)() const;
    std::string (CUpdateFile::*fileName)() const;
    bool (CProtocolAppUpdate::*startUpdate)(MessageTargetPtr);
};

namespace {
using Section = CDlgUpdate::Section;
using U = CProtocolAppUpdate;

const Section SECTIONS[] = {
    {IDC_SYSTEM_ENABLE, IDC_SYSTEM_SELECT, IDC_SYSTEM_FILE, IDC_SYSTEM_START, IDC_SYSTEM_STATUS, IDC_SYSTEM_PERCENT,
     IDC_SYSTEM_PROGRESS, U::SYSTEM_BASE, "Software Update",
     "Before you can proceed you must select a system update file!",
     "WARNING: This will erase the KMR 6650's old system software!\nAre you sure you want to upgrade? ",
     &CUpdateFile::OpenSystemFile, &CUpdateFile::IsSystemFileOpen, &CUpdateFile::SystemFileName,
     &U::StartSystemUpdate},
    {IDC_PRESET_ENABLE, IDC_PRESET_SELECT, IDC_PRESET_FILE, IDC_PRESET_START, IDC_PRESET_STATUS, IDC_PRESET_PERCENT,
     IDC_PRESET_PROGRESS, U::PRESET_BASE, "Speaker EQ Preset Update",
     "Before you can proceed you must select a preset update file!",
     "WARNING: This will erase the KMR 6650's old EQ Presets!\nAre you sure you want to upgrade?",
     &CUpdateFile::OpenPresetFile, &CUpdateFile::IsPresetFileOpen, &CUpdateFile::PresetFileName,
     &U::StartPresetUpdate},
};

// The radios have no caption of their own: the label beside them says what they do.
constexpr const char* RADIO_NAME = "Enable";

// The section that code belongs to (a phase or progress code), or null.
const Section* SectionOf(WPARAM code)
{
    for (const Section& s : SECTIONS)
        if (code >= s.base && code <= s.base + U::VERIFY_PROGRESS)
            return &s;
    return nullptr;
}

// A file name as the file system gives it, for display.
QString DisplayName(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}
} // namespace

CDlgUpdate::CDlgUpdate() : QDialog(nullptr), m_controls(IDD_UPDATE, this)
{
    CColorScheme::Apply(this, TheColorScheme().whiteBrush, Qt::black);

    auto button = [this](int id) { return m_controls.Control<QAbstractButton>(id); };
    for (const Section& s : SECTIONS) {
        connect(button(s.enable), &QAbstractButton::clicked, this, [this, &s] { SelectSection(s.enable); });
        connect(button(s.select), &QAbstractButton::clicked, this, [this, &s] { OnSelectFile(s); });
        connect(button(s.start), &QAbstractButton::clicked, this, [this, &s] { OnStartUpdate(s); });
        Control(s.enable)->setAccessibleName(RADIO_NAME);
        Control(s.file)->setAccessibleName(QString(s.name) + " file");
        Control(s.progress)->setAccessibleName(QString(s.name) + " progress");
    }
    connect(button(IDC_TEST_ENABLE), &QAbstractButton::clicked, this, [this] { SelectSection(IDC_TEST_ENABLE); });
    Control(IDC_TEST_ENABLE)->setAccessibleName(RADIO_NAME);
    connect(button(IDC_UPDATE_TEST), &QAbstractButton::clicked, this, &CDlgUpdate::OnUpdateTest);
    connect(button(IDC_TEST_FILE), &QAbstractButton::clicked, this, &CDlgUpdate::OnTestFile);
    connect(button(IDOK), &QAbstractButton::clicked, this, &QDialog::accept);
    // Enter presses the template's default button, the hidden and disabled OK, which does
    // nothing. Qt would otherwise make a focused push button ("Select File" after a click) the
    // default, and Enter would open the file dialog or start an update.
    for (QPushButton* push : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        push->setAutoDefault(false);
    connect(button(IDCANCEL), &QAbstractButton::clicked, this, &QDialog::reject);
    m_runWatch = new QTimer(this);
    m_runWatch->setInterval(RUN_WATCH_MS);
    connect(m_runWatch, &QTimer::timeout, this, &CDlgUpdate::UpdateControlStates);
}

CDlgUpdate::~CDlgUpdate()
{
    CloseTarget();
}

int CDlgUpdate::DoModal()
{
    if (isVisible())
        return Rejected;
    ResetControls();
    OpenTarget();
    return exec();
}

void CDlgUpdate::done(int result)
{
    TheUpdateProtocol().StopSystemUpdate();
    m_runWatch->stop();
    CloseTarget();
    QDialog::done(result);
}

void CDlgUpdate::OpenTarget()
{
    CloseTarget();
    m_receiver = new QObject(this);
    m_target = kmr::CQtMessageTarget::Create(m_receiver, [this, receiver = m_receiver](unsigned msg, WPARAM code,
                                                                                      LPARAM value) {
        // Posts queued before this opening closed still arrive here; they are dropped.
        if (msg == WM_PROTOCOL_UPDATE_MSG && receiver == m_receiver)
            OnProtocolUpdateMSG(code, value);
    });
}

void CDlgUpdate::CloseTarget()
{
    // Releasing the target makes every later post of a running thread find no window.
    m_target.reset();
    if (m_receiver)
        m_receiver->deleteLater();
    m_receiver = nullptr;
}

void CDlgUpdate::ResetControls()
{
    auto restoreCaption = [this](int id) {
        for (const ControlTemplate& c : m_controls.Template().controls)
            if (c.id == id)
                m_controls.SetText(id, QString::fromStdString(c.caption));
    };
    CUpdateFile& files = TheUpdateFile();
    for (const Section& s : SECTIONS) {
        auto* bar = m_controls.Control<QProgressBar>(s.progress);
        bar->setRange(0, 100);
        bar->setValue(0);
        restoreCaption(s.status);
        restoreCaption(s.percent);
        m_controls.SetText(s.file, (files.*s.isOpen)() ? DisplayName((files.*s.fileName)()) : QString());
    }
    restoreCaption(IDC_UPDATE_TEST);
    // The hidden test radio checked: no update can start until the user enables a section.
    SelectSection(IDC_TEST_ENABLE);
}

void CDlgUpdate::SelectSection(int radio)
{
    if (TheUpdateProtocol().IsRunning())
        return;  // the section of a running update stays as it is
    // The three radios exclude one another: checking one unchecks the other two.
    m_controls.Control<QRadioButton>(radio)->setChecked(true);
    UpdateControlStates();
}

void CDlgUpdate::UpdateControlStates()
{
    // While an update runs, its file must stay open and its section chosen: choosing a file
    // closes the old one under the running sequence, and would leave the flash half-written.
    const bool running = TheUpdateProtocol().IsRunning();
    const auto* test = m_controls.Control<QRadioButton>(IDC_TEST_ENABLE);
    for (const Section& s : SECTIONS) {
        const bool chosen = m_controls.Control<QRadioButton>(s.enable)->isChecked();
        Control(s.enable)->setEnabled(!running);
        Control(s.select)->setEnabled(chosen && !running);
        Control(s.start)->setEnabled(chosen);
    }
    Control(IDC_UPDATE_TEST)->setEnabled(test->isChecked());
    if (running && !m_runWatch->isActive())
        m_runWatch->start();
    else if (!running)
        m_runWatch->stop();
}

void CDlgUpdate::OnSelectFile(const Section& s)
{
    if (TheUpdateProtocol().IsRunning())
        return;
    // A cancelled choice leaves the old name in the box, with no file chosen any more.
    CUpdateFile& files = TheUpdateFile();
    if ((files.*s.open)())
        m_controls.SetText(s.file, DisplayName((files.*s.fileName)()));
}

void CDlgUpdate::OnStartUpdate(const Section& s)
{
    if (!(TheUpdateFile().*s.isOpen)()) {
        kmr::ShowMessage(s.noFile);
        return;
    }
    // While another run goes on the protocol starts nothing.
    if (kmr::ShowMessage(s.warning, true) == kmr::MSG_OK && (TheUpdateProtocol().*s.startUpdate)(m_target))
        UpdateControlStates();
}

void CDlgUpdate::OnUpdateTest()
{
    if (TheUpdateProtocol().StartUpdateTest(m_target))
        UpdateControlStates();
}

void CDlgUpdate::OnTestFile()
{
    kmr::ChooseFile(TEST_FILTER, CUpdateFile::DEFAULT_EXTENSION, CUpdateFile::INITIAL_NAME, true);
}

void CDlgUpdate::OnProtocolUpdateMSG(WPARAM code, LPARAM value)
{
    if (const Section* s = SectionOf(code)) {
        if (IsUpdateProgressCode(code)) {
            const int shown = UpdateProgressValue(value);
            m_controls.Control<QProgressBar>(s->progress)->setValue(shown);
            m_controls.SetText(s->percent, QString::fromStdString(UpdatePercentText(shown)));
        } else if (const char* status = UpdateStatusText(code)) {
            m_controls.SetText(s->status, status);
        }
        return;
    }
    if (const char* caption = UpdateTestCaption(code)) {
        m_controls.SetText(IDC_UPDATE_TEST, caption);
        if (IsUpdateTestFailure(code))
            kmr::ShowMessage(UPDATE_TEST_ERROR_TEXT);
    }
}
