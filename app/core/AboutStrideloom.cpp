#include "AboutStrideloom.h"
#include "AppVersion.h"
#include "ui_AboutStrideloom.h"

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
    ui->LBL_releaseDate->setText(QString::number(2018) + QString::fromUtf8("年") + QString::number(3)
                                 + QString::fromUtf8("月") + QString::number(7) + QString::fromUtf8("日"));
    setWindowTitle(QString::fromUtf8("关于 ") + QStringLiteral("KORVANT Strideloom "));
    QFile readme(QStringLiteral("./Resources/readme_ch.txt"));
    if (readme.open(QIODevice::ReadOnly)) {
        QTextStream in(&readme);
        in.setCodec("UTF-8");
        ui->showTextEdit->setPlainText(in.readAll());
    }
}

AboutStrideloom::~AboutStrideloom() = default;
