#include "DlgWait.h"
#include "ui_DlgWait.h"

#include <QGuiApplication>
#include <QMovie>
#include <QScreen>

DlgWait::DlgWait(QString text, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgWait)
{
    ui->setupUi(this);
    ui->lbl_gif->setStyleSheet(QStringLiteral("background: transparent;"));
    ui->lbl_text->setStyleSheet(QStringLiteral("background: transparent;"));
    ui->lbl_text->setText(text);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        move(desk.width() / 2 - width() / 2, desk.height() / 2 - height() / 2);
    }
    pMovie = new QMovie(QStringLiteral("./Resources/Images/loading.gif"));
    ui->lbl_gif->setMovie(pMovie);
    pMovie->start();
}

DlgWait::~DlgWait()
{
    delete pMovie;
}
