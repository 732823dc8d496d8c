#include "AboutStrideloom.h"
#include "AppVersion.h"
#include "ui_AboutStrideloom.h"

#include <QDate>
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
    //: Release date format (QDate::toString): give "yyyy-MM-dd".
    ui->LBL_releaseDate->setText(QDate(2018, 3, 7).toString(tr("yyyy年M月d日")));
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
