#include "AboutStrideloom.h"
#include "AppVersion.h"
#include "ui_AboutStrideloom.h"

#include <QEvent>
#include <QFile>
#include <QTextStream>

AboutStrideloom::AboutStrideloom(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AboutStrideloom)
{
    ui->setupUi(this);
    connect(ui->about_closeBtn, &QPushButton::clicked, this, &QDialog::accept);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->LBL_Version->setText(QString::fromLatin1(kAppVersion));
    setTexts();
}

AboutStrideloom::~AboutStrideloom() = default;

void AboutStrideloom::setTexts()
{
    const QChar zero = QLatin1Char('0');
    ui->LBL_releaseDate->setText(tr("%1年%2月%3日").arg(2018).arg(3, 2, 10, zero).arg(7, 2, 10, zero));
    setWindowTitle(tr("关于 ") + QStringLiteral("KORVANT Strideloom "));
    //: The about text's file, one per language: give the English one.
    QFile readme(tr("./Resources/readme_ch.txt"));
    ui->showTextEdit->clear();
    if (readme.open(QIODevice::ReadOnly)) {
        QTextStream in(&readme);
        in.setCodec("UTF-8");
        ui->showTextEdit->setPlainText(in.readAll());
    }
}

void AboutStrideloom::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setTexts();
    }
    QDialog::changeEvent(event);
}
