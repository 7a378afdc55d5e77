#include "app/DlgPortCheck.h"

#include "link/PortSurvey.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDlgPortCheck::CDlgPortCheck(QWidget* parent) : QDialog(parent), m_text(new QPlainTextEdit(this))
{
    setWindowTitle("KMR 6650 Serial Port Check");
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setAccessibleName("Serial port findings");
    auto* again = new QPushButton("Check Again", this);
    auto* close = new QPushButton("Close", this);
    close->setDefault(true);
    connect(again, &QPushButton::clicked, this, &CDlgPortCheck::Refresh);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(again);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(640, 420);
    Refresh();
}

void CDlgPortCheck::Refresh()
{
    m_text->setPlainText(QString::fromStdString(FormatSurvey(SurveySerialPorts())));
}

QString CDlgPortCheck::Findings() const
{
    return m_text->toPlainText();
}
